#include "core/fom.h"
#include "platform/gametimer.h"
#include "platform/picturebox.h"
#include "screen/controls.h"
#include "support/gamefixture.h"

#include <QApplication>
#include <QTest>

// The window and its controls: names, captions, tooltips, containers, initial
// states, the keyboard order, and labels lying beneath the panels.
class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void titleAndIcon();
    void captionsAndTooltips_data();
    void captionsAndTooltips();
    void containers();
    void initialStates();
    void tabOrderSkipsLabelsAndHiddenControls();
    void labelBeneathAVisiblePanelIsNotSeen();
    void hoveringFindsTheTooltip();
};

void TestWindow::titleAndIcon()
{
    GameFixture game;
    Fom &w = game.window();
    QCOMPARE(w.windowTitle(), QStringLiteral("Form1"));
    QVERIFY(!w.windowIcon().isNull());
    const QPixmap icon = w.windowIcon().pixmap(32, 32);
    QCOMPARE(icon.size(), QSize(32, 32));
    // Drawn, not blank: at least two colours.
    const QImage image = icon.toImage();
    QVERIFY(image.pixel(16, 16) != image.pixel(0, 0) || image.pixel(8, 24) != image.pixel(0, 0));
}

void TestWindow::captionsAndTooltips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tip");
    QTest::newRow("ComNext") << "ComNext" << ">" << "";
    QTest::newRow("ComMove(0)") << "ComMove0" << "シャッター" << "写真を撮ります";
    QTest::newRow("ComMove(1)") << "ComMove1" << "アルバム" << "アルバムを見ます";
    QTest::newRow("ComMove(2)") << "ComMove2" << "現像" << "現像します";
    QTest::newRow("ComMove(3)") << "ComMove3" << "判定" << "判定します";
    QTest::newRow("ComMove(4)") << "ComMove4" << "送信" << "博士に送ります";
    QTest::newRow("Com(0)") << "Com0" << "森" << "森の方へふらふら";
    QTest::newRow("Com(1)") << "Com1" << "水" << "水の方へふらふら";
    QTest::newRow("Com(2)") << "Com2" << "土" << "土の方へふらふら";
    QTest::newRow("Com(3)") << "Com3" << "戻る" << "１から出直します";
    QTest::newRow("LblSyasin") << "LblSyasin" << "Label1" << "写真枚数";
    QTest::newRow("LblMoney") << "LblMoney" << "Label1" << "所持金";
    QTest::newRow("LblSee") << "LblSee" << "Label1" << "";
    QTest::newRow("Lbl") << "Lbl" << "Label1" << "";
    QTest::newRow("Lst(0)") << "Lst0" << "" << "アルバム";
    QTest::newRow("Lst(1)") << "Lst1" << "" << "";
    QTest::newRow("Lst(2)") << "Lst2" << "" << "永遠アルバム・右クリックで、色々とチェック。";
    QTest::newRow("Lst(3)") << "Lst3" << "" << "";
    QTest::newRow("Pic") << "Pic" << "" << "くりっくすると、啼きます。";
}

void TestWindow::captionsAndTooltips()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, tip);
    GameFixture game;
    Fom &w = game.window();
    const QHash<QString, QWidget *> controls{
        {"ComNext", w.ComNext},     {"ComMove0", w.ComMove[0]}, {"ComMove1", w.ComMove[1]},
        {"ComMove2", w.ComMove[2]}, {"ComMove3", w.ComMove[3]}, {"ComMove4", w.ComMove[4]},
        {"Com0", w.Com[0]},         {"Com1", w.Com[1]},         {"Com2", w.Com[2]},
        {"Com3", w.Com[3]},         {"LblSyasin", w.LblSyasin}, {"LblMoney", w.LblMoney},
        {"LblSee", w.LblSee},       {"Lbl", w.Lbl},             {"Lst0", w.Lst[0]},
        {"Lst1", w.Lst[1]},         {"Lst2", w.Lst[2]},         {"Lst3", w.Lst[3]},
        {"Pic", w.Pic},
    };
    QWidget *control = controls.value(name);
    QVERIFY(control);
    QCOMPARE(control->toolTip(), tip);
    if (auto *b = qobject_cast<QPushButton *>(control))
        QCOMPARE(b->text(), caption);
    if (auto *l = qobject_cast<Label *>(control))
        QCOMPARE(l->caption(), caption);
}

void TestWindow::containers()
{
    GameFixture game;
    Fom &w = game.window();
    for (QWidget *c : {static_cast<QWidget *>(w.ComNext), static_cast<QWidget *>(w.BakMove),
                       static_cast<QWidget *>(w.BakCom), static_cast<QWidget *>(w.BakSee),
                       static_cast<QWidget *>(w.Lbl)})
        QCOMPARE(c->parentWidget(), &w);
    for (QWidget *c : w.Lst)
        QCOMPARE(c->parentWidget(), w.BakMove);
    for (QWidget *c : w.ComMove)
        QCOMPARE(c->parentWidget(), w.BakMove);
    QCOMPARE(w.LblMoney->parentWidget(), w.BakMove);
    QCOMPARE(w.LblSyasin->parentWidget(), w.BakMove);
    for (QWidget *c : w.Com)
        QCOMPARE(c->parentWidget(), w.BakCom);
    QCOMPARE(w.E->parentWidget(), w.BakSee);
    QCOMPARE(w.Pic->parentWidget(), w.BakSee);
    QCOMPARE(w.LblSee->parentWidget(), w.BakSee);
    QCOMPARE(w.BgmTim->parent(), w.BakSee);
    QCOMPARE(w.TimLbl->parent(), &w);
}

void TestWindow::initialStates()
{
    GameFixture game;
    Fom &w = game.window();
    QVERIFY(!w.TimLbl->isEnabled());
    QCOMPARE(w.TimLbl->interval(), 1);
    QCOMPARE(w.BgmTim->interval(), 1);
    QVERIFY(w.E->isHidden());
    QVERIFY(!w.Pic->isHidden());
    QVERIFY(!w.ComNext->isHidden());
    QVERIFY(!w.BakSee->isHidden());
}

void TestWindow::tabOrderSkipsLabelsAndHiddenControls()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    w.TxtStop();  // the play panels are up; the scene panel and ComNext are hidden
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.Com[0]->setFocus(Qt::OtherFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), w.Com[0]);
    const QList<QWidget *> expected{w.Com[1],     w.Com[2],     w.BakMove,    w.ComMove[0], w.ComMove[1],
                                    w.ComMove[2], w.ComMove[3], w.ComMove[4], w.Lst[0],     w.Com[3],
                                    w.Lst[2],     w.BakCom,     w.Com[0]};
    for (QWidget *next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    // With the scene panel shown, it and its picture come first.
    w.BakSee->show();
    w.Lst[2]->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(w.Lst[2], Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.BakSee);
    QTest::keyClick(w.BakSee, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.Pic);
    QTest::keyClick(w.Pic, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.BakCom);
}

void TestWindow::labelBeneathAVisiblePanelIsNotSeen()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    w.TxtStop();
    w.Lbl->setCaption(QStringLiteral("■■■■■■■■\r\n■■■■■■■■\r\n■■■■■■■■"));
    w.Lbl->setForeColor(0xFFFFFF);
    w.LblSee->setCaption(QString());
    const QRect area = w.Lbl->geometry();
    const auto whitePixels = [&] {
        const QImage shot = w.grab(area).toImage();
        int count = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                count += shot.pixel(x, y) == qRgb(255, 255, 255);
        return count;
    };
    QVERIFY(whitePixels() > 100);  // seen while the scene panel is hidden
    w.BakSee->show();
    QCOMPARE(whitePixels(), 0);
}

void TestWindow::hoveringFindsTheTooltip()
{
    GameFixture game;
    game.startPlaying();
    Fom &w = game.window();
    w.BakSee->show();
    // What lies under the pointer at the middle of each control, and its tooltip.
    const auto tipAt = [&](QWidget *control) {
        QWidget *under = w.childAt(control->mapTo(&w, control->rect().center()));
        while (under && under->toolTip().isEmpty() && under != &w)
            under = under->parentWidget();
        return under ? under->toolTip() : QString();
    };
    QCOMPARE(tipAt(w.Pic), QStringLiteral("くりっくすると、啼きます。"));
    QCOMPARE(tipAt(w.Com[3]), QStringLiteral("１から出直します"));
    QCOMPARE(tipAt(w.LblMoney), QStringLiteral("所持金"));
    QCOMPARE(tipAt(w.LblSyasin), QStringLiteral("写真枚数"));
    QCOMPARE(tipAt(w.Lst[2]), QStringLiteral("永遠アルバム・右クリックで、色々とチェック。"));
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
