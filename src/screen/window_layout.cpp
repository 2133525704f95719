#include "core/fom.h"

#include "platform/grid.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "screen/controls.h"
#include "screen/layout.h"

#include <QResizeEvent>

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
    return twips::fromPixels(frameGeometry().height(), twips::dpiOf(this));
}

double Fom::outerWidthTwips() const
{
    return twips::fromPixels(frameGeometry().width(), twips::dpiOf(this));
}

double Fom::leftTwips() const
{
    return twips::fromPixels(frameGeometry().left(), twips::dpiOf(this));
}

double Fom::topTwips() const
{
    return twips::fromPixels(frameGeometry().top(), twips::dpiOf(this));
}

void Fom::setOuterHeightTwips(double height)
{
    const int frame = frameGeometry().height() - this->height();
    resize(width(), std::max(1, twips::toPixels(height, twips::dpiOf(this)) - frame));
}

void Fom::setOuterWidthTwips(double width)
{
    const int frame = frameGeometry().width() - this->width();
    resize(std::max(1, twips::toPixels(width, twips::dpiOf(this)) - frame), height());
}

void Fom::moveToTwips(double left, double top)
{
    const double dpi = twips::dpiOf(this);
    move(twips::toPixels(left, dpi), twips::toPixels(top, dpi));
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

void Fom::Form_Resize()
{
    // A maximised, minimised or full-screen window cannot be reshaped or moved:
    // it is laid out at the proportions it has.
    const bool placeable = !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
    if (placeable) {
        if (const auto width = layout::aspectWidth(outerHeightTwips())) {
            setOuterWidthTwips(*width);
            const QSizeF screen = twips::screenSize(this);
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
