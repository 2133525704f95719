#include "core/fom.h"
#include "platform/grid.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "screen/controls.h"
#include "screen/layout.h"
#include "support/gamefixture.h"

#include <QTest>

// The proportional layout: its arithmetic on the worked figures and edges, then
// the real window at several sizes.
class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void aspectWidth_data();
    void aspectWidth();
    void baseFontSize_data();
    void baseFontSize();
    void gridEdgesMeet();
    void startUpSizeIsFourFifthsOfTheScreen();
    void windowAtSeveralHeights_data();
    void windowAtSeveralHeights();
    void draggedWidthSnapsBack();
    void tooLowWindowLeavesTheControls();
    void keyListsAreHiddenByEveryPass();
    void maximisedWindowFillsTheClientArea();
};

void TestLayout::aspectWidth_data()
{
    QTest::addColumn<double>("height");
    QTest::addColumn<int>("width");
    QTest::newRow("7275: 1212.5 rounds to even") << 7275.0 << 9696;
    QTest::newRow("7281: 1213.5 rounds to even") << 7281.0 << 9712;
    QTest::newRow("1024x768 screen") << 9216.0 << 12288;
    QTest::newRow("799") << 799.0 << 1064;
    QTest::newRow("800") << 800.0 << 1064;
    QTest::newRow("15: 2.5 rounds down") << 15.0 << 16;
    QTest::newRow("21: 3.5 rounds up") << 21.0 << 32;
    QTest::newRow("24572") << 24572.0 << 32760;
    // Past where a 16-bit product ends: a 4K screen at 100 %.
    QTest::newRow("24573") << 24573.0 << 32768;
    QTest::newRow("2160-px screen") << 25920.0 << 34560;
}

void TestLayout::aspectWidth()
{
    QFETCH(double, height);
    QFETCH(int, width);
    QCOMPARE(layout::aspectWidth(height), std::optional<int>(width));
}

void TestLayout::baseFontSize_data()
{
    QTest::addColumn<double>("height");
    QTest::addColumn<int>("size");
    QTest::newRow("7275") << 7275.0 << 9;
    QTest::newRow("9216") << 9216.0 << 11;
    QTest::newRow("800") << 800.0 << 2;
    QTest::newRow("9999") << 9999.0 << 11;
    QTest::newRow("10000") << 10000.0 << 12;
}

void TestLayout::baseFontSize()
{
    QFETCH(double, height);
    QFETCH(int, size);
    QCOMPARE(layout::baseFontSize(height), size);
}

void TestLayout::gridEdgesMeet()
{
    const QRect area(0, 0, 641, 479);
    const QRect left = gridToPixels(layout::kWindowGrid, area, QRectF(0, 0, 4, 6));
    const QRect right = gridToPixels(layout::kWindowGrid, area, QRectF(4, 0, 4, 0.5));
    QCOMPARE(left.left(), qRound(0.1 / 8.2 * 641));
    QCOMPARE(left.right() + 1, right.left());
    QCOMPARE(left.bottom() + 1, qRound(6.1 / 6.2 * 479));
    QCOMPARE(right.right() + 1, qRound(8.1 / 8.2 * 641));
}

void TestLayout::startUpSizeIsFourFifthsOfTheScreen()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    const QSizeF screen = twips::screenSize(&w);
    const double perPixel = twips::perPixel(twips::dpiOf(&w));
    QVERIFY(qAbs(w.outerHeightTwips() - screen.height() / 10 * 8) <= perPixel);
    QTRY_VERIFY(qAbs(w.outerWidthTwips() - *layout::aspectWidth(w.outerHeightTwips())) <= perPixel);
    // Before its first show a window's frame is unknown, and the offscreen platform
    // may then place it by its client area: allow the frame's width.
    const double slack = perPixel * (1 + (w.frameGeometry().width() - w.width()) / 2.0);
    QVERIFY(qAbs(w.leftTwips() - (screen.width() - w.outerWidthTwips()) / 2) <= slack);
    QVERIFY(qAbs(w.topTwips() - (screen.height() - w.outerHeightTwips()) / 2) <= slack);
}

void TestLayout::windowAtSeveralHeights_data()
{
    QTest::addColumn<int>("height");
    QTest::newRow("300 px") << 300;
    QTest::newRow("485 px") << 485;
    QTest::newRow("600 px") << 600;
    QTest::newRow("54 px") << 54;
}

void TestLayout::windowAtSeveralHeights()
{
    QFETCH(int, height);
    GameFixture game;
    game.start();
    Fom &w = game.window();
    w.resize(w.width(), height);
    const double dpi = twips::dpiOf(&w);
    const double outer = w.outerHeightTwips();
    const int width = twips::toPixels(*layout::aspectWidth(outer), dpi);
    QTRY_COMPARE(w.frameGeometry().width(), width);
    const QSizeF screen = twips::screenSize(&w);
    QTRY_COMPARE(w.frameGeometry().left(), twips::toPixels((screen.width() - w.outerWidthTwips()) / 2, dpi));
    QCOMPARE(w.frameGeometry().top(), twips::toPixels((screen.height() - outer) / 2, dpi));

    const auto inWindow = [&](double l, double t, double wd, double h) {
        return gridToPixels(layout::kWindowGrid, w.rect(), QRectF(l, t, wd, h));
    };
    QCOMPARE(w.Lbl->geometry(), inWindow(0, 0, 4, 6));
    QCOMPARE(w.BakSee->geometry(), inWindow(0, 0, 4, 6));
    QCOMPARE(w.ComNext->geometry(), inWindow(3.5, 5.5, 0.5, 0.5));
    QCOMPARE(w.BakCom->geometry(), inWindow(4, 0, 4, 0.5));
    QCOMPARE(w.BakMove->geometry(), inWindow(4, 0.6, 4, 5.3));
    const auto inPanel = [](const PictureBox *panel, double l, double t, double wd, double h) {
        return panel->toPixels(QRectF(l, t, wd, h));
    };
    for (int i = 0; i < 4; ++i)
        QCOMPARE(w.Com[i]->geometry(), inPanel(w.BakCom, i, 0, 1, 1));
    for (int i = 0; i < 5; ++i)
        QCOMPARE(w.ComMove[i]->geometry(), inPanel(w.BakMove, i, 0, 1, 1));
    QCOMPARE(w.BakCom->scale(), QRectF(0, 0, 4, 1));
    QCOMPARE(w.BakMove->scale(), QRectF(0, 0, 5, 10));
    QCOMPARE(w.BakSee->scale(), QRectF(0, 0, 4, 6));
    QCOMPARE(w.LblMoney->geometry(), inPanel(w.BakMove, 0, 1, 2.5, 1));
    QCOMPARE(w.LblSyasin->geometry(), inPanel(w.BakMove, 2.5, 1, 2.5, 1));
    QCOMPARE(w.Lst[0]->geometry(), inPanel(w.BakMove, 0, 2, 5, 4));
    QCOMPARE(w.Lst[2]->geometry(), inPanel(w.BakMove, 0, 6, 5, 4));
    QCOMPARE(w.Pic->geometry(), inPanel(w.BakSee, 0, 0, 1, 1));
    QCOMPARE(w.LblSee->geometry(), inPanel(w.BakSee, 0, 1.1, 4, 4.5));
    // The lower panel edges meet the window grid's margin.
    QCOMPARE(w.BakMove->geometry().bottom() + 1, inWindow(0, 5.9, 1, 0).top());

    const int f = layout::baseFontSize(outer);
    QCOMPARE(w.Lbl->font().pointSize(), f);
    QCOMPARE(w.Com[3]->font().pointSize(), f);
    QCOMPARE(w.ComMove[0]->font().pointSize(), f);
    QCOMPARE(w.Lst[2]->font().pointSize(), f);
    QCOMPARE(w.LblSee->font().pointSize(), f);
    QCOMPARE(w.LblMoney->font().pointSize(), f + 5);
    QCOMPARE(w.LblSyasin->font().pointSize(), f + 5);

    QCOMPARE(w.palette().color(QPalette::Window), QColor(0, 0, 0));
    QCOMPARE(w.palette().color(QPalette::WindowText), QColor(255, 255, 255));
    QCOMPARE(w.Com[0]->palette().color(QPalette::Button), QColor(200, 200, 250));
    QCOMPARE(w.ComMove[4]->palette().color(QPalette::Button), QColor(200, 250, 250));
    QCOMPARE(w.ComNext->palette().color(QPalette::Button), QColor(200, 200, 200));
    QCOMPARE(w.Lst[0]->palette().color(QPalette::Base), QColor(100, 100, 150));
    QCOMPARE(w.Lst[2]->palette().color(QPalette::Text), QColor(255, 255, 255));
    QCOMPARE(w.LblMoney->foreColor(), 0xFFFFFF);
    QCOMPARE(w.BakMove->background(), QColor(0, 0, 0));
    QCOMPARE(w.BakMove->border(), PictureBox::Border::None);
    QCOMPARE(w.Pic->border(), PictureBox::Border::Single);
}

void TestLayout::draggedWidthSnapsBack()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    QTRY_VERIFY(w.frameGeometry().width() > 0);
    const QRect before = w.frameGeometry();
    w.resize(w.width() + 120, w.height());
    QTRY_COMPARE(w.frameGeometry(), before);
}

void TestLayout::tooLowWindowLeavesTheControls()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    const QRect lbl = w.Lbl->geometry();
    const QRect list = w.Lst[2]->geometry();
    const int frame = w.frameGeometry().height() - w.height();
    w.resize(w.width(), 50 - frame);  // 750 twips outside at 96 dpi
    QTRY_COMPARE(w.frameGeometry().height(), 50);
    QVERIFY(w.outerHeightTwips() < layout::kMinimumHeightTwips);
    // The width still follows the height.
    QTRY_COMPARE(w.frameGeometry().width(), twips::toPixels(*layout::aspectWidth(w.outerHeightTwips()),
                                                            twips::dpiOf(&w)));
    QCOMPARE(w.Lbl->geometry(), lbl);
    QCOMPARE(w.Lst[2]->geometry(), list);
}

void TestLayout::keyListsAreHiddenByEveryPass()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    w.Lst[1]->show();
    w.Lst[3]->show();
    w.Form_Resize();
    QVERIFY(w.Lst[1]->isHidden());
    QVERIFY(w.Lst[3]->isHidden());
}

void TestLayout::maximisedWindowFillsTheClientArea()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    w.showMaximized();
    QTRY_VERIFY(w.isMaximized());
    QTRY_COMPARE(w.Lbl->geometry(), gridToPixels(layout::kWindowGrid, w.rect(), QRectF(0, 0, 4, 6)));
    QCOMPARE(w.BakMove->geometry(), gridToPixels(layout::kWindowGrid, w.rect(), QRectF(4, 0.6, 4, 5.3)));
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
