#include "core/fom.h"

#include "platform/gametimer.h"
#include "platform/picturebox.h"
#include "screen/controls.h"

#include <QIcon>
#include <QImageReader>
#include <QPixmap>

namespace {

CommandButton *button(const QString &caption, const QString &tip, QWidget *parent)
{
    auto *b = new CommandButton(caption, parent);
    b->setToolTip(tip);
    return b;
}

Label *label(QWidget *parent, const QString &tip = {})
{
    auto *l = new Label(parent);
    l->setCaption(QStringLiteral("Label1"));
    l->setToolTip(tip);
    return l;
}

ListBox *list(QWidget *parent, const QString &tip = {})
{
    auto *l = new ListBox(parent);
    l->setToolTip(tip);
    return l;
}

// The window's icon, a PNG read by Qt's own reader: asked to find a reader
// itself, Qt loads every image-format plugin first, a few milliseconds before
// the window can show.
QIcon builtInIcon()
{
    QImageReader reader(QStringLiteral(":/icon.png"), "png");
    reader.setAutoDetectImageFormat(false);
    return QIcon(QPixmap::fromImage(reader.read()));
}

} // namespace

void Fom::createControls()
{
    installAccessibility();
    setWindowTitle(QStringLiteral("Form1"));
    setWindowIcon(builtInIcon());
    resize(668, 458);  // the design size; start-up and the layout replace it

    TimLbl = new GameTimer(this);
    TimLbl->setInterval(1);

    ComNext = button(QStringLiteral(">"), {}, this);

    BakMove = new PictureBox(this);
    Lst[3] = list(BakMove);
    Lst[2] = list(BakMove, QStringLiteral("永遠アルバム・右クリックで、色々とチェック。"));
    Lst[1] = list(BakMove);
    Lst[0] = list(BakMove, QStringLiteral("アルバム"));
    ComMove[4] = button(QStringLiteral("送信"), QStringLiteral("博士に送ります"), BakMove);
    ComMove[3] = button(QStringLiteral("判定"), QStringLiteral("判定します"), BakMove);
    ComMove[2] = button(QStringLiteral("現像"), QStringLiteral("現像します"), BakMove);
    ComMove[1] = button(QStringLiteral("アルバム"), QStringLiteral("アルバムを見ます"), BakMove);
    ComMove[0] = button(QStringLiteral("シャッター"), QStringLiteral("写真を撮ります"), BakMove);
    LblSyasin = label(BakMove, QStringLiteral("写真枚数"));
    LblMoney = label(BakMove, QStringLiteral("所持金"));

    BakCom = new PictureBox(this);
    Com[3] = button(QStringLiteral("戻る"), QStringLiteral("１から出直します"), BakCom);
    Com[2] = button(QStringLiteral("土"), QStringLiteral("土の方へふらふら"), BakCom);
    Com[1] = button(QStringLiteral("水"), QStringLiteral("水の方へふらふら"), BakCom);
    Com[0] = button(QStringLiteral("森"), QStringLiteral("森の方へふらふら"), BakCom);

    BakSee = new PictureBox(this);
    BgmTim = new GameTimer(BakSee);
    BgmTim->setInterval(1);
    E = new PictureBox(BakSee);
    E->hide();
    Pic = new PictureBox(BakSee);
    Pic->setToolTip(QStringLiteral("くりっくすると、啼きます。"));
    Pic->setBorder(PictureBox::Border::Single);
    LblSee = label(BakSee);

    Lbl = label(this);

    // Labels are drawn on their container's surface, beneath its other controls.
    for (Label *l : {LblSyasin, LblMoney, LblSee, Lbl})
        l->lower();

    // What a reader calls the controls that show no caption of their own.
    ComNext->setAccessibleName(QStringLiteral("次へ"));
    BakSee->setAccessibleName(QStringLiteral("場面"));
    BakCom->setAccessibleName(QStringLiteral("移動"));
    BakMove->setAccessibleName(QStringLiteral("カメラ"));
    Pic->setAccessibleName(QStringLiteral("写真"));
    Lst[0]->setAccessibleName(QStringLiteral("アルバム"));
    Lst[2]->setAccessibleName(QStringLiteral("永遠アルバム"));
    // The panels only hold the controls that the player reaches.
    for (PictureBox *panel : {BakMove, BakCom, BakSee, E})
        panel->setFocusPolicy(Qt::NoFocus);
    Lst[1]->setKeysOnly();
    Lst[3]->setKeysOnly();

    setTabOrder();
}

void Fom::setTabOrder()
{
    // The keyboard order of the controls that take the focus; labels, timers,
    // panels and key lists have no place in it.
    QWidget *const order[] = {Pic,         Com[0],      Com[1],      Com[2], ComMove[0], ComMove[1], ComMove[2],
                              ComMove[3],  ComMove[4],  Lst[0],      ComNext, Com[3],    Lst[2]};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}
