#include "core/fom.h"
#include "platform/codepage.h"
#include "platform/gametimer.h"
#include "platform/messagebox.h"
#include "platform/picturebox.h"
#include "platform/random.h"
#include "screen/controls.h"
#include "support/gamefixture.h"

#include <QTest>

// Thousands of random presses, clicks and keys on every control, with the game's
// own draws and the box answers random too, checking the game's invariants after
// every single event.
class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void randomPlay_data();
    void randomPlay();
};

void TestSoak::randomPlay_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::newRow("seed 1") << 1u;
    QTest::newRow("seed 2026") << 2026u;
}

void TestSoak::randomPlay()
{
    QFETCH(quint32, seed);
    GameFixture game;
    game.writePicture(QStringLiteral("00"), "BMP");
    game.writePicture(QStringLiteral("11"), "JPEG");
    game.writeLines(QStringLiteral("txt/00.dat"), {QStringLiteral("説明")});
    game.writeBytes(QStringLiteral("txt/abm.dat"), codepage::encode(QStringLiteral("生き物00,00\r\n生き物11,11\r\n")));
    game.random.setSeed(seed);
    game.start();
    Fom &w = game.window();
    ClockRandom chooser(seed * 7919u);
    const QList<int> answers{MessageBoxes::AnswerOk, MessageBoxes::AnswerCancel, MessageBoxes::AnswerDismissed};
    int games = 0;
    int photographs = 0;

    for (int event = 0; event < 8000; ++event) {
        if (game.messages.shown.size() > 1000)
            game.messages.shown.clear();
        game.messages.pushAnswer(answers[chooser.draw(3)]);
        const int previousShots = w.SyasinCnt;
        if (w.ComNext->isVisible()) {
            // Mostly read on; now and then skip with the right button.
            if (chooser.draw(10) == 0)
                QTest::mousePress(w.ComNext, Qt::RightButton);
            else
                QTest::mouseClick(w.ComNext, Qt::LeftButton);
        } else {
            // Weighted: the shutter most, then the other camera buttons and the lists.
            const int pick = chooser.draw(12);
            ListBox *list = w.Lst[chooser.draw(2) * 2];
            if (pick == 0)
                QTest::mouseClick(w.Com[chooser.draw(4)], Qt::LeftButton);
            else if (pick <= 3)
                QTest::mouseClick(w.ComMove[0], Qt::LeftButton);
            else if (pick <= 5)
                QTest::mouseClick(w.ComMove[1 + chooser.draw(4)], Qt::LeftButton);
            else if (pick <= 7 && list->isVisible() && list->listCount() > 0)
                selectRow(list, chooser.draw(100) % list->listCount(), chooser.draw(2) ? Qt::LeftButton : Qt::RightButton);
            else if (pick == 8)
                QTest::keyClick(list, chooser.draw(2) ? Qt::Key_Down : Qt::Key_Up);
            else if (pick == 9 && w.Pic->isVisible())
                QTest::mouseClick(w.Pic, Qt::LeftButton);
            else if (pick == 11)
                w.resize(w.width(), 200 + chooser.draw(400));
            else if (pick == 10) {
                w.TimLbl_Timer();
                w.BgmTim_Timer();
            }
        }
        if (w.SyasinCnt < previousShots)
            ++games;
        photographs = std::max(photographs, w.Lst[0]->listCount());

        // The albums stay in pairs, the counters within their bounds and shown.
        QCOMPARE(w.Lst[0]->listCount(), w.Lst[1]->listCount());
        QCOMPARE(w.Lst[2]->listCount(), w.Lst[3]->listCount());
        QVERIFY(w.Money <= 100000 && w.SyasinCnt >= 0 && w.SyasinCnt <= Fom::kFilm);
        QVERIFY(std::all_of(w.PlacePoint.begin(), w.PlacePoint.end(), [](int p) { return p >= -100 && p <= 100; }));
        QCOMPARE(w.LblMoney->caption(), QString::number(w.Money) + QStringLiteral("円"));
    }
    // The walk went somewhere: photographs were taken, and a game ended.
    QVERIFY(photographs > 0);
    QVERIFY2(games > 0, "no game reached its ending");
    w.close();
    QCOMPARE(game.readBytes(QStringLiteral("txt/abm.dat")).count('\n'), w.Lst[2]->listCount());
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
