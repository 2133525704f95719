#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QWidget>

class QPainter;

// A panel with its own drawing surface and its own coordinate grid. It can contain
// other controls, hold a loaded picture, and paint a picture stretched into a
// rectangle of its surface. What has been painted stays until the next clear or
// until the inner size changes, which starts a blank surface and says so.
class PictureBox : public QWidget
{
    Q_OBJECT
public:
    enum class Border { None, Single };

    explicit PictureBox(QWidget *parent = nullptr);

    // The grid: the inner area is `width` units wide and `height` units high,
    // starting at (left, top). The default grid is in pixels.
    void setScale(double left, double top, double width, double height);
    void setScalePixels();
    QRectF scale() const;
    double scaleWidth() const { return scale().width(); }
    // The pixel rectangle of a rectangle given in this box's grid.
    QRect toPixels(const QRectF &units) const;
    // Places a child control at a rectangle of this box's grid.
    void place(QWidget *child, const QRectF &units) const;

    void setBorder(Border border);
    Border border() const { return m_border; }
    // The drawing area inside the border.
    QRect innerRect() const;

    void setBackground(const QColor &colour);

    // Wipes the drawing surface to the background colour.
    void clear();
    // Paints `source` (a rectangle of `picture`, in pixels) stretched into `target`
    // (a rectangle of the inner area, in logical pixels), sampled at the screen's
    // device pixels.
    void paintPicture(const QImage &picture, const QRect &target, const QRect &source);
    // What has been painted, in device pixels (its device pixel ratio is the
    // box's); a null image while nothing has been since the last clear or resize.
    const QImage &surface() const { return m_surface; }

    // The picture held (as loaded into it); an empty image when nothing is held.
    void setPicture(const QImage &picture);
    const QImage &picture() const { return m_picture; }

signals:
    // The surface was made anew, blank, at the present inner size: by a resize
    // (delivered when the box is next shown, if it was hidden), a new border or a
    // screen of another scale.
    void surfaceReset();
    // Released over the box with the left button, or Space or Return pressed on it.
    void clicked();
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position);
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void resetSurface();

    QRectF m_scale{0, 0, 1, 1};
    bool m_pixels = true;
    Border m_border = Border::None;
    QColor m_background = Qt::black;
    QImage m_surface;
    QImage m_picture;
};

// A focus mark seen on any background and beside black: a ring inside `area`,
// white (3 px, 2 on a light control) then 2 px black.
void drawFocusMark(QPainter &painter, const QRect &area, bool light);
