#include "core/fom.h"
#include "platform/gametimer.h"
#include "platform/grid.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "screen/controls.h"
#include "screen/layout.h"
#include "support/gamefixture.h"

#include <QApplication>
#include <QTest>

// The window as the player sees it: its controls, their captions and tooltips,
// the keyboard order, and the proportional layout drawn at several sizes.
namespace {

// The colour drawn at a point of the window's grid (units, margin included).
QColor seenAt(Fom &w, const QImage &shot, double x, double y)
{
    const QRect r = gridToPixels(layout::kWindowGrid, w.rect(), QRectF(x, y, 0, 0));
    return shot.pixelColor(r.topLeft());
}

// Black, or the same hue about as light: buttons are drawn with a gradient.
bool near(const QColor &a, const QColor &b)
{
    if (b.value() == 0)
        return a.value() < 16;
    return a.hue() >= 0 && qAbs(a.hue() - b.hue()) <= 12 && qAbs(a.value() - b.value()) <= 60;
}

} // namespace

class TestScreen : public QObject
{
    Q_OBJECT

private slots:
    void controls();
    void tabOrderSkipsLabelsAndHiddenControls();
    void labelBeneathAVisiblePanelIsNotSeen();
    void layoutAtSeveralSizes_data();
    void layoutAtSeveralSizes();
    void tooLowOrMaximised();
};

void TestScreen::controls()
{
    GameFixture game;
    Fom &w = game.window();
    QCOMPARE(w.windowTitle(), QStringLiteral("Form1"));
    QVERIFY(!w.windowIcon().pixmap(32, 32).isNull());
    struct Control
    {
        QWidget *widget;
        QObject *container;
        const char *caption;
        const char *tip;
    };
    const QList<Control> table{
        {w.ComNext, &w, ">", ""},
        {w.ComMove[0], w.BakMove, "シャッター", "写真を撮ります"},
        {w.ComMove[1], w.BakMove, "アルバム", "アルバムを見ます"},
        {w.ComMove[2], w.BakMove, "現像", "現像します"},
        {w.ComMove[3], w.BakMove, "判定", "判定します"},
        {w.ComMove[4], w.BakMove, "送信", "博士に送ります"},
        {w.Com[0], w.BakCom, "森", "森の方へふらふら"},
        {w.Com[1], w.BakCom, "水", "水の方へふらふら"},
        {w.Com[2], w.BakCom, "土", "土の方へふらふら"},
        {w.Com[3], w.BakCom, "戻る", "１から出直します"},
        {w.LblSyasin, w.BakMove, "Label1", "写真枚数"},
        {w.LblMoney, w.BakMove, "Label1", "所持金"},
        {w.LblSee, w.BakSee, "Label1", ""},
        {w.Lbl, &w, "Label1", ""},
        {w.Lst[0], w.BakMove, "", "アルバム"},
        {w.Lst[1], w.BakMove, "", ""},
        {w.Lst[2], w.BakMove, "", "永遠アルバム・右クリックで、色々とチェック。"},
        {w.Lst[3], w.BakMove, "", ""},
        {w.Pic, w.BakSee, "", "くりっくすると、啼きます。"},
        {w.E, w.BakSee, "", ""},
    };
    for (const Control &c : table) {
        QCOMPARE(c.widget->parent(), c.container);
        QCOMPARE(c.widget->toolTip(), QString::fromUtf8(c.tip));
        if (auto *b = qobject_cast<QPushButton *>(c.widget))
            QCOMPARE(b->text(), QString::fromUtf8(c.caption));
        if (auto *l = qobject_cast<Label *>(c.widget))
            QCOMPARE(l->caption(), QString::fromUtf8(c.caption));
    }
    QCOMPARE(w.BgmTim->parent(), w.BakSee);
    QVERIFY(w.BgmTim->isEnabled() && !w.TimLbl->isEnabled());
    QVERIFY(w.E->isHidden());
    QCOMPARE(w.Pic->border(), PictureBox::Border::Single);
}

void TestScreen::tabOrderSkipsLabelsAndHiddenControls()
{
    GameFixture game;
    game.startPlaying();  // the scene panel and ComNext are hidden
    Fom &w = game.window();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.Com[0]->setFocus(Qt::OtherFocusReason);
    const QList<QWidget *> expected{w.Com[1],     w.Com[2],     w.BakMove,    w.ComMove[0], w.ComMove[1],
                                    w.ComMove[2], w.ComMove[3], w.ComMove[4], w.Lst[0],     w.Com[3],
                                    w.Lst[2],     w.BakCom,     w.Com[0]};
    for (QWidget *next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    w.BakSee->show();  // then the scene panel and its picture come first
    w.Lst[2]->setFocus(Qt::OtherFocusReason);
    for (QWidget *next : {static_cast<QWidget *>(w.BakSee), static_cast<QWidget *>(w.Pic),
                          static_cast<QWidget *>(w.BakCom)}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void TestScreen::labelBeneathAVisiblePanelIsNotSeen()
{
    GameFixture game;
    game.startPlaying();
    Fom &w = game.window();
    w.Lbl->setCaption(QStringLiteral("■■■■■■■■\r\n■■■■■■■■"));
    w.LblSee->setCaption(QString());
    const auto whitePixels = [&] {
        const QImage shot = w.grab(w.Lbl->geometry()).toImage();
        int count = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                count += shot.pixel(x, y) == qRgb(255, 255, 255);
        return count;
    };
    QVERIFY(whitePixels() > 100);
    w.BakSee->show();
    QCOMPARE(whitePixels(), 0);
}

void TestScreen::layoutAtSeveralSizes_data()
{
    QTest::addColumn<int>("height");
    QTest::newRow("start-up") << 0;
    QTest::newRow("300 px") << 300;
    QTest::newRow("485 px") << 485;
    QTest::newRow("701 px") << 701;
}

void TestScreen::layoutAtSeveralSizes()
{
    QFETCH(int, height);
    GameFixture game;
    game.startPlaying();
    Fom &w = game.window();
    w.Lst[1]->show();  // every pass hides the key lists again
    if (height > 0)
        w.resize(w.width(), height);
    else
        w.Form_Resize();
    // 4:3 and centred on the screen; at start-up 8/10 of its height.
    const double dpi = twips::dpiOf(&w);
    const QSizeF screen = twips::screenSize(&w);
    if (height == 0)
        QCOMPARE(w.frameGeometry().height(), twips::toPixels(screen.height() / 10 * 8, dpi));
    QTRY_COMPARE(w.frameGeometry().width(), twips::toPixels(*layout::aspectWidth(w.outerHeightTwips()), dpi));
    QTRY_COMPARE(w.frameGeometry().topLeft(), QPoint(twips::toPixels((screen.width() - w.outerWidthTwips()) / 2, dpi),
                                                     twips::toPixels((screen.height() - w.outerHeightTwips()) / 2, dpi)));
    QVERIFY(w.Lst[1]->isHidden() && w.Lst[3]->isHidden());

    // What is drawn where, in the window's grid: black around and between the
    // panels, the place buttons, the camera buttons, the two lists (both empty).
    // Buttons are sampled just under their top edge: a caption is centred on its
    // button's middle line, and a Japanese font's glyphs may reach its sides.
    const QImage shot = w.grab().toImage();
    const QColor black(0, 0, 0), place(200, 200, 250), camera(200, 250, 250), list(100, 100, 150);
    const QList<std::tuple<double, double, QColor>> seen{
        {2, 3, black},       {-0.05, 3, black},   {8.05, 3, black},    {6, 0.55, black},   {6, 5.95, black},
        {4.1, 0.06, place},  {7.9, 0.06, place},  {4.1, 0.66, camera}, {7.9, 0.66, camera},
        {4.3, 2.2, list},    {7.7, 3.6, list},    {4.3, 4.4, list},    {7.7, 5.8, list},
    };
    for (const auto &[x, y, colour] : seen)
        QVERIFY2(near(seenAt(w, shot, x, y), colour),
                 qPrintable(QStringLiteral("(%1, %2): %3").arg(x).arg(y).arg(seenAt(w, shot, x, y).name())));
    const int f = layout::baseFontSize(w.outerHeightTwips());
    QCOMPARE(w.Lbl->font().pointSize(), f);
    QCOMPARE(w.Lst[2]->font().pointSize(), f);
    QCOMPARE(w.LblSyasin->font().pointSize(), f + 5);
}

void TestScreen::tooLowOrMaximised()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    QTRY_VERIFY(w.frameGeometry().width() > 0);
    const QRect before = w.frameGeometry();
    w.resize(w.width() + 120, w.height());  // dragging a side: the height alone decides
    QTRY_COMPARE(w.frameGeometry(), before);
    const QRect lbl = w.Lbl->geometry();
    w.resize(w.width(), 50 - (w.frameGeometry().height() - w.height()));  // under 800 twips: nothing moves
    QTRY_COMPARE(w.frameGeometry().width(), twips::toPixels(*layout::aspectWidth(w.outerHeightTwips()), twips::dpiOf(&w)));
    QCOMPARE(w.Lbl->geometry(), lbl);
    w.showMaximized();
    QTRY_VERIFY(w.isMaximized());
    QTRY_COMPARE(w.BakMove->geometry(), gridToPixels(layout::kWindowGrid, w.rect(), QRectF(4, 0.6, 4, 5.3)));
}

QTEST_MAIN(TestScreen)
#include "tst_screen.moc"
