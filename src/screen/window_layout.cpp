#include "core/fom.h"

#include "platform/grid.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "platform/windowframe.h"
#include "screen/controls.h"
#include "screen/layout.h"

#include <QResizeEvent>

#include <cstdlib>

namespace {

const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);

void preparePanel(PictureBox *panel, double gridWidth, double gridHeight)
{
    panel->setScale(0, 0, gridWidth, gridHeight);
    panel->setBorder(PictureBox::Border::None);
    panel->setBackground(kBlack);
}

} // namespace

double Fom::outerHeightTwips() const
{
    const QMarginsF frame = m_frame->margins();
    return twips::fromPixels(height() + frame.top() + frame.bottom(), twips::dpiOf(this));
}

double Fom::outerWidthTwips() const
{
    const QMarginsF frame = m_frame->margins();
    return twips::fromPixels(width() + frame.left() + frame.right(), twips::dpiOf(this));
}

double Fom::leftTwips() const
{
    return twips::fromPixels(x() - m_frame->margins().left(), twips::dpiOf(this));
}

double Fom::topTwips() const
{
    return twips::fromPixels(y() - m_frame->margins().top(), twips::dpiOf(this));
}

void Fom::setOuterHeightTwips(double height)
{
    const QMarginsF frame = m_frame->margins();
    resize(width(), std::max(1, qRound(twips::toPixels(height, twips::dpiOf(this)) - frame.top() - frame.bottom())));
}

void Fom::setOuterWidthTwips(double width)
{
    const QMarginsF frame = m_frame->margins();
    resize(std::max(1, qRound(twips::toPixels(width, twips::dpiOf(this)) - frame.left() - frame.right())), height());
}

void Fom::moveToTwips(double left, double top)
{
    // The frame's place: the window itself lies inside it.
    const double dpi = twips::dpiOf(this);
    const QMarginsF frame = m_frame->margins();
    const QPoint place(qRound(twips::toPixels(left, dpi) + frame.left()), qRound(twips::toPixels(top, dpi) + frame.top()));
    setGeometry(QRect(place, size()));
}

void Fom::placeInWindow(QWidget *control, double left, double top, double width, double height)
{
    control->setGeometry(gridToPixels(layout::kWindowGrid, rect(), QRectF(left, top, width, height)));
}

void Fom::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

bool Fom::event(QEvent *event)
{
    const bool handled = QWidget::event(event);
    // Qt tells no event when the frame arrives: it may come with a move, or only
    // be there by the time the window is activated or next drawn.
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowActivate:
    case QEvent::UpdateRequest:
        placeAtStartUp();
        break;
    default:
        break;
    }
    return handled;
}

void Fom::placeAtStartUp()
{
    if (m_startUpTries <= 0 || !isVisible() || (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    const QMarginsF frame = m_frame->margins();
    if (frame.isNull())
        return;  // no frame (yet): start-up's height already was the outer one
    // Where the layout pass puts a window of the start-up height, frame included.
    const double dpi = twips::dpiOf(this);
    const QSizeF screen = twips::screenSize(this);
    const int height = twips::toPixels(m_startHeight, dpi);
    const int width = twips::toPixels(layout::aspectWidth(twips::fromPixels(height, dpi)).value_or(0), dpi);
    QRectF target(twips::toPixels((screen.width() - twips::fromPixels(width, dpi)) / 2, dpi),
                  twips::toPixels((screen.height() - twips::fromPixels(height, dpi)) / 2, dpi), width, height);
    const QRectF outer = QRectF(geometry()).marginsAdded(frame);
    // A compositor that places windows itself is left to it: only the size is ours.
    const bool placing = WindowFrame::canPlaceWindows();
    if (!placing)
        target.moveTopLeft(outer.topLeft());
    const auto near = [](const QRectF &a, const QRectF &b) {
        return std::abs(a.left() - b.left()) <= 1 && std::abs(a.top() - b.top()) <= 1
               && std::abs(a.width() - b.width()) <= 1 && std::abs(a.height() - b.height()) <= 1;
    };
    if (near(outer, target)) {
        m_startUpTries = 0;  // in place: from now on the size is the player's
        return;
    }
    --m_startUpTries;
    const QRect inner = target.marginsRemoved(frame).toRect();
    if (!placing) {
        resize(inner.size());
        return;
    }
    // One request for size and place: the window manager may still be answering
    // earlier ones, and answers that cross would undo a move made separately.
    setGeometry(inner);
}

void Fom::Form_Resize()
{
    // A maximised, minimised or full-screen window cannot be reshaped or moved:
    // it is laid out at the proportions it has.
    const bool placeable = !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
    if (placeable) {
        if (const auto width = layout::aspectWidth(outerHeightTwips())) {
            setOuterWidthTwips(*width);
            const QSizeF screen = twips::screenSize(this);
            if (WindowFrame::canPlaceWindows())
                moveToTwips((screen.width() - outerWidthTwips()) / 2, (screen.height() - outerHeightTwips()) / 2);
        }
    }

    const double height = outerHeightTwips();
    if (height < layout::kMinimumHeightTwips || isMinimized())
        return;

    const int fontSize = layout::baseFontSize(height);
    QPalette windowColours = palette();
    windowColours.setColor(QPalette::Window, kBlack);
    windowColours.setColor(QPalette::WindowText, kWhite);
    setPalette(windowColours);
    setAutoFillBackground(true);

    placeInWindow(Lbl, 0, 0, 4, 6);
    Lbl->setBorderSingle(false);
    setFontSize(Lbl, fontSize);

    placeInWindow(ComNext, 3.5, 5.5, 0.5, 0.5);
    setFontSize(ComNext, fontSize);
    ComNext->setBackground(QColor(200, 200, 200));

    placeInWindow(BakCom, 4, 0, 4, 0.5);
    preparePanel(BakCom, static_cast<double>(Com.size()), 1);
    for (std::size_t i = 0; i < Com.size(); ++i) {
        BakCom->place(Com[i], QRectF(static_cast<double>(i), 0, 1, 1));
        setFontSize(Com[i], fontSize);
        Com[i]->setBackground(QColor(200, 200, 250));
    }

    placeInWindow(BakMove, 4, 0.6, 4, 5.3);
    preparePanel(BakMove, static_cast<double>(ComMove.size()), 10);
    for (std::size_t i = 0; i < ComMove.size(); ++i) {
        BakMove->place(ComMove[i], QRectF(static_cast<double>(i), 0, 1, 1));
        setFontSize(ComMove[i], fontSize);
        ComMove[i]->setBackground(QColor(200, 250, 250));
    }
    const double halfWidth = static_cast<double>(ComMove.size()) / 2;
    BakMove->place(LblMoney, QRectF(0, 1, halfWidth, 1));
    setFontSize(LblMoney, fontSize + 5);
    LblMoney->setForeColor(0xFFFFFF);
    BakMove->place(LblSyasin, QRectF(halfWidth, 1, halfWidth, 1));
    setFontSize(LblSyasin, fontSize + 5);
    LblSyasin->setForeColor(0xFFFFFF);
    // The two visible lists share the panel below the counters; their key lists
    // are never seen.
    for (int i = 0; i <= 2; i += 2) {
        BakMove->place(Lst[i], QRectF(0, 2 + (i / 2) * 4, BakMove->scaleWidth(), 4));
        setFontSize(Lst[i], fontSize);
        Lst[i]->setColours(QColor(100, 100, 150), kWhite);
        Lst[i + 1]->hide();
    }

    placeInWindow(BakSee, 0, 0, 4, 6);
    preparePanel(BakSee, 4, 6);
    BakSee->place(Pic, QRectF(0, 0, 1, 1));
    LblSee->setForeColor(0xFFFFFF);
    setFontSize(LblSee, fontSize);
    BakSee->place(LblSee, QRectF(0, 1.1, 4, 4.5));

    PicShow(QString());
}
