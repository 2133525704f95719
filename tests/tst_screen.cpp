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

#include <cmath>

// The window as the player sees it: the proportional layout drawn at several
// sizes, and where the focus shows.
namespace {

// The colour drawn at a point of the window's grid (units, margin included).
QColor seenAt(Fom &w, const QImage &shot, double x, double y)
{
    const QRect r = gridToPixels(layout::kWindowGrid, w.rect(), QRectF(x, y, 0, 0));
    return shot.pixelColor(r.topLeft());
}

// How far apart two colours are for the eye, 1 to 21.
double contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QImage shotOf(Fom &w, QWidget *control)
{
    return w.grab(QRect(control->mapTo(&w, QPoint(0, 0)), control->size())).toImage();
}

// The thinnest run of pixels, inwards from the middle of each side, that the
// focus changed by 3:1 or more.
int focusMarkWidth(const QImage &before, const QImage &after)
{
    const int w = after.width(), h = after.height();
    int thinnest = 99;
    const QPoint sides[4][2]{{{0, h / 2}, {1, 0}}, {{w - 1, h / 2}, {-1, 0}}, {{w / 2, 0}, {0, 1}}, {{w / 2, h - 1}, {0, -1}}};
    for (const auto &[from, step] : sides) {
        int run = 0;
        for (QPoint p = from; run < 99 && after.rect().contains(p) && p != from + step * 8; p += step)
            run += contrast(before.pixelColor(p), after.pixelColor(p)) >= 3;
        thinnest = std::min(thinnest, run);
    }
    return thinnest;
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
    void layoutAtSeveralSizes_data();
    void layoutAtSeveralSizes();
};

void TestScreen::layoutAtSeveralSizes_data()
{
    QTest::addColumn<int>("height");
    QTest::newRow("start-up") << 0;
    QTest::newRow("300 px") << 300;
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
    w.setFocus();  // a list's focus mark lies where it is sampled
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
    // The scene's picture is a stop of the keyboard's round, just before 森; every
    // stop shows it has the focus, 2 px at least at 3:1; a chosen row reads at
    // 4.5:1, focused or not.
    w.BakSee->show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.Com[0]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.Com[0], Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), w.Pic);
    for (QWidget *stop : std::initializer_list<QWidget *>{w.Pic, w.Com[0], w.Com[3], w.ComMove[0], w.ComMove[4], w.Lst[0], w.Lst[2]}) {
        w.setFocus();
        const QImage before = shotOf(w, stop);
        stop->setFocus(Qt::TabFocusReason);
        QVERIFY2(focusMarkWidth(before, shotOf(w, stop)) >= 2, qPrintable(stop->property("text").toString()));
    }
    for (ListBox *list : {w.Lst[0], w.Lst[2]}) {
        list->addRow(QStringLiteral("判定前"));
        list->setListIndex(0);
        for (bool focused : {true, false}) {
            focused ? list->setFocus() : w.setFocus();
            const QRect row = list->visualItemRect(list->item(0)).translated(list->viewport()->mapTo(&w, QPoint(0, 0)));
            const QImage shot = w.grab(row).toImage();
            const QColor back = shot.pixelColor(shot.width() * 3 / 4, shot.height() / 2);
            double text = 1;
            for (int x = 0; x < shot.width() / 2; ++x)
                text = std::max(text, contrast(back, shot.pixelColor(x, shot.height() / 2)));
            QVERIFY2(text >= 4.5, qPrintable(QString::number(text)));
        }
    }

    QCOMPARE(w.Lbl->font().pointSize(), layout::baseFontSize(w.outerHeightTwips()));
}

QTEST_MAIN(TestScreen)
#include "tst_screen.moc"
