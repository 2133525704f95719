#include "platform/picturebox.h"

#include "platform/grid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QtMath>

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resetSurface();
}

void PictureBox::setScale(double left, double top, double width, double height)
{
    m_scale = QRectF(left, top, width, height);
    m_pixels = false;
}

void PictureBox::setScalePixels()
{
    m_pixels = true;
}

QRectF PictureBox::scale() const
{
    if (m_pixels)
        return QRectF(QPointF(0, 0), QSizeF(innerRect().size()));
    return m_scale;
}

QRect PictureBox::toPixels(const QRectF &units) const
{
    return gridToPixels(scale(), innerRect(), units);
}

void PictureBox::place(QWidget *child, const QRectF &units) const
{
    child->setGeometry(toPixels(units));
}

void PictureBox::setBorder(Border border)
{
    if (m_border == border)
        return;
    m_border = border;
    resetSurface();
    update();
    emit surfaceReset();
}

QRect PictureBox::innerRect() const
{
    const int inset = m_border == Border::Single ? 1 : 0;
    return rect().adjusted(inset, inset, -inset, -inset);
}

void PictureBox::setBackground(const QColor &colour)
{
    m_background = colour;
    update();
}

void PictureBox::clear()
{
    resetSurface();
    update();
}

void PictureBox::paintPicture(const QImage &picture, const QRect &target, const QRect &source)
{
    if (picture.isNull())
        return;
    if (m_surface.isNull()) {
        // In device pixels, so that a picture stretched at a scale of 1.5 is
        // sampled once at the size it is seen, not drawn small and blown up.
        const qreal ratio = devicePixelRatioF();
        const QSize inner = innerRect().size().expandedTo(QSize(1, 1));
        m_surface = QImage(qCeil(inner.width() * ratio), qCeil(inner.height() * ratio),
                           QImage::Format_ARGB32_Premultiplied);
        m_surface.setDevicePixelRatio(ratio);
        m_surface.fill(Qt::transparent);
    }
    QPainter painter(&m_surface);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture, source);
    update();
}

void PictureBox::setPicture(const QImage &picture)
{
    m_picture = picture;
    if (!picture.isNull())
        resize(picture.size() + (rect().size() - innerRect().size()));
}

void PictureBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
    if (m_border == Border::Single) {
        painter.setPen(QColor(160, 160, 160));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (!m_surface.isNull())
        painter.drawImage(innerRect().topLeft(), m_surface);
    if (hasFocus())
        drawFocusMark(painter, rect(), false);
    if (m_surface.isNull())
        return;
    if (!qFuzzyCompare(m_surface.devicePixelRatio(), devicePixelRatioF())) {
        // On a screen of another scale: drawn anew at its pixels, once this paint is over.
        QMetaObject::invokeMethod(
            this, [this] { resetSurface(); update(); emit surfaceReset(); }, Qt::QueuedConnection);
    }
}

void PictureBox::resizeEvent(QResizeEvent *)
{
    // Like any drawing surface without a backing store of its own, a new size
    // starts blank; the owner repaints what it wants kept.
    resetSurface();
    emit surfaceReset();
}

void PictureBox::resetSurface()
{
    // Blank: made at the first drawing, so that the panels, which are never drawn
    // on, hold no image of their size and a resize allocates nothing.
    m_surface = QImage();
}

void PictureBox::mousePressEvent(QMouseEvent *event)
{
    emit mouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void PictureBox::keyPressEvent(QKeyEvent *event)
{
    const bool press = event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!press || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (!event->isAutoRepeat())
        emit clicked();
}

void PictureBox::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
}

void PictureBox::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    emit mouseUp(event->button(), event->modifiers(), event->position().toPoint());
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void drawFocusMark(QPainter &painter, const QRect &area, bool light)
{
    const auto ring = [&](const QRect &r, int width, const QColor &colour) {
        painter.fillRect(r.left(), r.top(), r.width(), width, colour);
        painter.fillRect(r.left(), r.bottom() + 1 - width, r.width(), width, colour);
        painter.fillRect(r.left(), r.top(), width, r.height(), colour);
        painter.fillRect(r.right() + 1 - width, r.top(), width, r.height(), colour);
    };
    // On a dark control the white covers a frame line too; on a light one the
    // black lies outside a caption that fills it.
    const int white = light ? 2 : 3;
    ring(area, white, Qt::white);
    ring(area.adjusted(white, white, -white, -white), 2, Qt::black);
}
