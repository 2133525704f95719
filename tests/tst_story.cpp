#include "core/fom.h"
#include "platform/gametimer.h"
#include "platform/messagebox.h"
#include "platform/picturebox.h"
#include "screen/controls.h"
#include "story/fade.h"
#include "support/gamefixture.h"

#include <QTest>

namespace {

const QString kFirstPage = QStringLiteral("\r\nopn p1 一\r\nopn p1 二\r\n");

bool playing(const Fom &w)
{
    return w.ComNext->isVisibleTo(&w) && !w.BakCom->isVisibleTo(&w) && !w.BakMove->isVisibleTo(&w)
           && !w.BakSee->isVisibleTo(&w);
}

bool playPanelsBack(const Fom &w)
{
    return !w.ComNext->isVisibleTo(&w) && w.BakCom->isVisibleTo(&w) && w.BakMove->isVisibleTo(&w)
           && !w.TimLbl->isEnabled() && w.Lbl->caption().isEmpty() && w.Lbl->foreColor() == 0xFFFFFF;
}

} // namespace

// The story texts: pages, the fade, the next-page button and its right-press skip,
// the end of an ending, and the files that are missing or too short.
class TestStory : public QObject
{
    Q_OBJECT

private slots:
    void firstPageIsUpAndFading();
    void pagesUntilTheEnd();
    void leftClickWhileFadingRestartsFromBlack();
    void rightPressSkipsTheWholeText();
    void otherButtonsDoNotSkip();
    void storyShapes_data();
    void storyShapes();
    void missingOrEmptyStory_data();
    void missingOrEmptyStory();
    void missingOpeningAtEveryNewGame();
    void endingRunsIntoANewGame();
    void rightPressOnAnEndingStartsANewGameAtOnce();
    void endingThatEndsInsideItsStartStartsNoGame();
    void fadeStep_data();
    void fadeStep();
    void fadeReachesWhiteOnTheTimer();
};

void TestStory::firstPageIsUpAndFading()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    QCOMPARE(w.Lbl->caption(), kFirstPage);
    QVERIFY(playing(w));
    QVERIFY(w.TimLbl->isEnabled());
    QVERIFY(w.files().isOpen(w.FileNo));
    QCOMPARE(w.TimLbl->period(), GameTimer::kMinimumPeriodMs);
}

void TestStory::pagesUntilTheEnd()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    QTest::mouseClick(w.ComNext, Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("\r\nopn p2 一\r\nopn p2 二\r\n"));
    QVERIFY(playing(w));
    // The line after the last page's empty line is never shown: the text ends.
    QTest::mouseClick(w.ComNext, Qt::LeftButton);
    QVERIFY(playPanelsBack(w));
    QVERIFY(!w.BakSee->isVisibleTo(&w));
    QVERIFY(!w.files().isOpen(w.FileNo));
    QVERIFY(game.messages.shown.isEmpty());
}

void TestStory::leftClickWhileFadingRestartsFromBlack()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    game.random.setFallback(0.5f);
    w.TimLbl_Timer();
    QVERIFY(w.Lbl->foreColor() != 0);
    QTest::mouseClick(w.ComNext, Qt::LeftButton);
    QCOMPARE(w.Lbl->foreColor(), 0);
    QCOMPARE(w.TxtRgb, (std::array<std::int16_t, 3>{0, 0, 0}));
    QVERIFY(w.TimLbl->isEnabled());
}

void TestStory::rightPressSkipsTheWholeText()
{
    GameFixture game;
    game.writeLines(QStringLiteral("txt/opn.dat"), GameFixture::story(QStringLiteral("opn"), 5));
    game.start();
    Fom &w = game.window();
    QTest::mousePress(w.ComNext, Qt::RightButton);
    QVERIFY(playPanelsBack(w));
    QTest::mouseRelease(w.ComNext, Qt::RightButton);
    QVERIFY(playPanelsBack(w));
}

void TestStory::otherButtonsDoNotSkip()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    QTest::mousePress(w.ComNext, Qt::MiddleButton);
    QTest::mouseRelease(w.ComNext, Qt::MiddleButton);
    QCOMPARE(w.Lbl->caption(), kFirstPage);
    w.ComNext_MouseDown(1);
    w.ComNext_MouseDown(3);  // left and right together is not the right button alone
    QCOMPARE(w.Lbl->caption(), kFirstPage);
    QVERIFY(playing(w));
}

void TestStory::storyShapes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("pages");  // what each press shows, in order

    QTest::newRow("page and its empty line only: ends at once") << QByteArray("a\r\n\r\n") << QStringList{};
    QTest::newRow("one page and one more line")
        << QByteArray("a\r\nb\r\n\r\nnever\r\n") << QStringList{QStringLiteral("\r\na\r\nb\r\n")};
    QTest::newRow("last line without its line end")
        << QByteArray("a\r\n\r\nnever") << QStringList{QStringLiteral("\r\na\r\n")};
    QTest::newRow("two empty lines make an empty page")
        << QByteArray("a\r\n\r\n\r\nx\r\n") << QStringList{QStringLiteral("\r\na\r\n"), QStringLiteral("\r\n")};
    QTest::newRow("lone LF line ends")
        << QByteArray("a\nb\n\nc\n\nz\n")
        << QStringList{QStringLiteral("\r\na\r\nb\r\n"), QStringLiteral("\r\nc\r\n")};
    QTest::newRow("lone CR line ends")
        << QByteArray("a\r\rc\r\rz") << QStringList{QStringLiteral("\r\na\r\n"), QStringLiteral("\r\nc\r\n")};
    QTest::newRow("no empty line at all") << QByteArray("a\r\nb\r\n") << QStringList{};
}

void TestStory::storyShapes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, pages);
    GameFixture game;
    game.writeBytes(QStringLiteral("txt/opn.dat"), bytes);
    game.start();
    Fom &w = game.window();
    for (const QString &page : pages) {
        QVERIFY(playing(w));
        QCOMPARE(w.Lbl->caption(), page);
        QTest::mouseClick(w.ComNext, Qt::LeftButton);
    }
    QVERIFY(playPanelsBack(w));
    QVERIFY(game.messages.shown.isEmpty());
}

void TestStory::missingOrEmptyStory_data()
{
    QTest::addColumn<bool>("exists");
    QTest::newRow("missing") << false;
    QTest::newRow("empty") << true;
}

void TestStory::missingOrEmptyStory()
{
    QFETCH(bool, exists);
    GameFixture game;
    if (exists)
        game.writeBytes(QStringLiteral("txt/opn.dat"), QByteArray());
    else
        game.remove(QStringLiteral("txt/opn.dat"));
    game.start();
    Fom &w = game.window();
    QCOMPARE(game.messages.shown.size(), 1);
    QCOMPARE(game.messages.shown[0].text, w.PathTxt + QStringLiteral("opn.dat not found"));
    QCOMPARE(game.messages.shown[0].buttons, MessageBoxes::Ok);
    QVERIFY(playPanelsBack(w));
}

void TestStory::missingOpeningAtEveryNewGame()
{
    GameFixture game;
    game.remove(QStringLiteral("txt/opn.dat"));
    game.start();
    game.window().Form_Activate();
    QCOMPARE(game.messages.shown.size(), 2);
    QVERIFY(playPanelsBack(game.window()));
}

void TestStory::endingRunsIntoANewGame()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    w.TxtStop();
    w.Lst[0]->addRow(QStringLiteral("現像前"));
    w.Lst[1]->addRow(QStringLiteral("01"));
    w.Money = 6000;
    w.TxtPlay(QStringLiteral("goodend"));
    w.EndFlg = true;
    QCOMPARE(w.Lbl->caption(), QStringLiteral("\r\ngoodend p1 一\r\ngoodend p1 二\r\n"));
    QTest::mouseClick(w.ComNext, Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("\r\ngoodend p2 一\r\ngoodend p2 二\r\n"));
    QTest::mouseClick(w.ComNext, Qt::LeftButton);
    // The new game's opening is up when the click returns.
    QCOMPARE(w.Lbl->caption(), kFirstPage);
    QVERIFY(playing(w));
    QVERIFY(!w.EndFlg);
    QCOMPARE(w.Money, 0);
    QCOMPARE(w.Lst[0]->listCount(), 0);
    QCOMPARE(w.Lst[1]->listCount(), 0);
}

void TestStory::rightPressOnAnEndingStartsANewGameAtOnce()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    w.TxtPlay(QStringLiteral("badend"));
    w.EndFlg = true;
    QTest::mousePress(w.ComNext, Qt::RightButton);
    QCOMPARE(w.Lbl->caption(), kFirstPage);
    QVERIFY(!w.EndFlg);
    QVERIFY(playing(w));
    QTest::mouseRelease(w.ComNext, Qt::RightButton);
    QCOMPARE(w.Lbl->caption(), kFirstPage);
}

void TestStory::endingThatEndsInsideItsStartStartsNoGame()
{
    GameFixture game;
    game.writeBytes(QStringLiteral("txt/badend.dat"), QByteArray("only\r\n\r\n"));
    game.start();
    Fom &w = game.window();
    w.TxtStop();
    w.Lst[0]->addRow(QStringLiteral("現像前"));
    w.Lst[1]->addRow(QStringLiteral("01"));
    w.TxtPlay(QStringLiteral("badend"));  // the ending is flagged only after this returns
    w.EndFlg = true;
    QVERIFY(playPanelsBack(w));
    QCOMPARE(w.Lst[0]->listCount(), 1);
}

void TestStory::fadeStep_data()
{
    QTest::addColumn<QList<int>>("start");
    QTest::addColumn<QList<float>>("draws");
    QTest::addColumn<QList<int>>("after");
    QTest::addColumn<int>("drawsTaken");

    QTest::newRow("from black") << QList<int>{0, 0, 0} << QList<float>{0.0f, 0.5f, 0.999f} << QList<int>{0, 25, 49} << 3;
    QTest::newRow("clamped at white") << QList<int>{250, 230, 254} << QList<float>{0.2f, 0.6f, 0.03f}
                                      << QList<int>{255, 255, 255} << 3;
    QTest::newRow("white components draw nothing") << QList<int>{255, 100, 255} << QList<float>{0.1f}
                                                   << QList<int>{255, 105, 255} << 1;
    QTest::newRow("all white") << QList<int>{255, 255, 255} << QList<float>{} << QList<int>{255, 255, 255} << 0;
}

void TestStory::fadeStep()
{
    QFETCH(QList<int>, start);
    QFETCH(QList<float>, draws);
    QFETCH(QList<int>, after);
    QFETCH(int, drawsTaken);
    ScriptedRandom random;
    for (float r : draws)
        random.push(r);
    std::array<std::int16_t, 3> rgb{static_cast<std::int16_t>(start[0]), static_cast<std::int16_t>(start[1]),
                                    static_cast<std::int16_t>(start[2])};
    const int colour = ::fadeStep(rgb, random);
    QCOMPARE(random.taken(), drawsTaken);
    QCOMPARE((QList<int>{rgb[0], rgb[1], rgb[2]}), after);
    QCOMPARE(colour, after[0] + 256 * after[1] + 65536 * after[2]);
}

void TestStory::fadeReachesWhiteOnTheTimer()
{
    GameFixture game;
    game.random.setFallback(0.9f);  // 45 a tick: white after six ticks
    game.start();
    Fom &w = game.window();
    QCOMPARE(w.Lbl->foreColor() & 0xFF, w.TxtRgb[0]);
    QTRY_COMPARE(w.Lbl->foreColor(), 0xFFFFFF);
    // White is the end of the fade: the timer rests, and the page stays white.
    QVERIFY(!w.TimLbl->isEnabled());
    QTest::qWait(50);
    QCOMPARE(w.Lbl->foreColor(), 0xFFFFFF);
    // The next page fades in from black again.
    QTest::mouseClick(w.ComNext, Qt::LeftButton);
    QCOMPARE(w.Lbl->foreColor(), 0);
    QVERIFY(w.TimLbl->isEnabled());
    QTRY_COMPARE(w.Lbl->foreColor(), 0xFFFFFF);
}

QTEST_MAIN(TestStory)
#include "tst_story.moc"
