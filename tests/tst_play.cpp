#include "core/fom.h"
#include "explore/wander.h"
#include "platform/codepage.h"
#include "platform/picturebox.h"
#include "screen/controls.h"
#include "support/gamefixture.h"

#include <QApplication>
#include <QTest>

// Play through the real window: a whole game, its first photograph from the
// forest to the professor, and the next game; every camera button on every kind
// of photograph; the last shot and the endings it chooses.
namespace {

QStringList rows(const ListBox *list)
{
    QStringList result;
    for (int i = 0; i < list->listCount(); ++i)
        result << list->list(i);
    return result;
}

using Steps = QList<QPair<int, int>>;  // select a row (-1: none), press a camera button

} // namespace

class TestPlay : public QObject
{
    Q_OBJECT

private slots:
    void oneWholeGameAndTheNext();
    void cameraButtons_data();
    void cameraButtons();
    void lastShotChoosesTheEnding_data();
    void lastShotChoosesTheEnding();
};

void TestPlay::oneWholeGameAndTheNext()
{
    GameFixture game;
    game.writePicture(QStringLiteral("02"), "BMP");
    game.writeLines(QStringLiteral("txt/02.dat"), {QStringLiteral("苔の上で眠る。"), QStringLiteral("朝露が好き。")});
    game.startPlaying();
    Fom &w = game.window();

    w.BakSee->show();
    game.random.pushAll({0.95f, 0.95f, 0.95f});  // 土: 9 円, earth +9, forest -9
    QTest::mouseClick(w.Com[2], Qt::LeftButton);
    QCOMPARE(w.PlacePoint, (PlacePoints{-9, 0, 9}));
    QVERIFY(!w.BakSee->isVisible());
    game.random.pushAll({0.45f});
    QTest::mouseClick(w.Com[3], Qt::LeftButton);  // 戻る: 4 円, the points wiped
    QCOMPARE(w.PlacePoint, (PlacePoints{0, 0, 0}));
    game.random.pushAll({0.35f, 0.55f, 0.25f});  // 森: 3 円, forest +5, water -2
    QTest::mouseClick(w.Com[0], Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("移動したよ"));
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("-16円"));
    QCOMPARE(w.PlacePoint, (PlacePoints{5, -2, 0}));

    game.random.pushAll({0.0f});  // the edge case, roll 0: nothing is caught
    QTest::mouseClick(w.ComMove[0], Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("シャッター！！\r\nなにも撮れなかった"));
    game.random.pushAll({0.9f, 0.1f, 0.7f});  // still the edge case: roll 90, then "0" and "2"
    QTest::mouseClick(w.ComMove[0], Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("シャッター！！"));
    QCOMPARE(rows(w.Lst[0]), QStringList{QStringLiteral("現像前")});
    QCOMPARE(rows(w.Lst[1]), QStringList{QStringLiteral("02")});
    QCOMPARE(w.LblSyasin->caption(), QStringLiteral("2枚／100枚"));

    selectRow(w.Lst[0], 0);
    QTest::mouseClick(w.ComMove[1], Qt::LeftButton);  // アルバム: not developed, no picture
    QVERIFY(w.BakSee->isVisible() && !w.Pic->isVisible());
    QCOMPARE(w.LblSee->caption(), QStringLiteral("これはなんの生物なのかな・・・"));

    QTest::mouseClick(w.ComMove[2], Qt::LeftButton);  // 現像
    QVERIFY(!w.BakSee->isVisible());
    QCOMPARE(w.Lst[0]->list(0), QStringLiteral("判定前"));
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("-26円"));

    QTest::mouseClick(w.ComMove[3], Qt::LeftButton);  // 判定
    QCOMPARE(w.Lbl->caption(), QStringLiteral("これは生き物02だな。\r\nよく見つけたね"));
    QCOMPARE(w.Lst[0]->list(0), QStringLiteral("生き物02"));
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("-126円"));

    QTest::mouseClick(w.ComMove[1], Qt::LeftButton);  // アルバム: picture and description
    QVERIFY(w.Pic->isVisible());
    QCOMPARE(w.Pic->grab().toImage().pixelColor(w.Pic->width() / 4, w.Pic->height() / 4), QColor(240, 200, 40));
    QCOMPARE(w.LblSee->caption(), QStringLiteral("\r\n苔の上で眠る。\r\n朝露が好き。"));

    QTest::mouseClick(w.ComMove[4], Qt::LeftButton);  // 送信
    QCOMPARE(w.Lbl->caption(), QStringLiteral("あんまり珍しくないな\r\n120円支払おう"));
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("-6円"));
    QCOMPARE(w.Lst[0]->listCount() + w.Lst[1]->listCount(), 0);
    QCOMPARE(rows(w.Lst[2]), QStringList{QStringLiteral("生き物02")});
    QCOMPARE(rows(w.Lst[3]), QStringList{QStringLiteral("02")});
    // On the disk at once: a crash or a lost display now loses nothing.
    QCOMPARE(game.readBytes(QStringLiteral("txt/abm.dat")), codepage::encode(QStringLiteral("生き物02,02\r\n")));
    QVERIFY(game.messages.shown.isEmpty());
    // The purse stops at 100000 円, and may go below nothing again.
    w.m_henka(100010);
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("100000円"));
    w.m_henka(-100019);
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("-19円"));

    for (int i = 0; i < 12; ++i) {  // deep into the forest at no cost
        game.random.pushAll({0.0f, 0.95f, 0.95f});
        QTest::mouseClick(w.Com[0], Qt::LeftButton);
    }
    QCOMPARE(w.PlacePoint, (PlacePoints{100, -100, 0}));
    game.random.pushAll({0.995f});  // roll 99: the forest's legendary one
    QTest::mouseClick(w.ComMove[0], Qt::LeftButton);
    selectRow(w.Lst[0], 0);
    for (int button : {2, 3, 4})
        QTest::mouseClick(w.ComMove[button], Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("これは珍しい！！\r\n10000円支払おう"));
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("9871円"));
    game.random.setFallback(0.0f);
    while (w.SyasinCnt < Fom::kFilm)
        QTest::mouseClick(w.ComMove[0], Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("\r\ngoodend p1 一\r\ngoodend p1 二\r\n"));
    QTest::mousePress(w.ComNext, Qt::RightButton);  // skipped: a new game at once, the film unused
    QCOMPARE(w.Lbl->caption(), QStringLiteral("\r\nopn p1 一\r\nopn p1 二\r\n"));
    QCOMPARE(w.LblSyasin->caption(), QStringLiteral("0枚／100枚"));
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("0円"));
    QCOMPARE(w.Lst[0]->listCount() + w.Lst[1]->listCount(), 0);
    QCOMPARE(w.PlacePoint, (PlacePoints{0, 0, 0}));
    QVERIFY(!w.BeastKnown[9]);

    game.restart();
    QCOMPARE(game.readBytes(QStringLiteral("txt/abm.dat")), codepage::encode(QStringLiteral("生き物02,02\r\n生き物09,09\r\n")));
    QCOMPARE(rows(game.window().Lst[2]), (QStringList{QStringLiteral("生き物02"), QStringLiteral("生き物09")}));
}

void TestPlay::cameraButtons_data()
{
    QTest::addColumn<QStringList>("photographs");  // "status key"
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QStringList>("after");  // the statuses left
    QTest::addColumn<QString>("said");
    QTest::addColumn<int>("money");
    QTest::addColumn<QStringList>("album");  // the keys sent

    const QStringList none;
    for (int button = 1; button <= 4; ++button)
        QTest::addRow("nothing selected, button %d", button)
            << QStringList{"現像前 03"} << Steps{{-1, button}} << QStringList{"現像前"} << "" << 0 << none;
    QTest::newRow("develop twice") << QStringList{"現像前 01"} << Steps{{0, 2}, {0, 2}} << QStringList{"判定前"}
                                   << "それは現像できないよ" << -10 << none;
    QTest::newRow("judge names every developed one of the kind, then develop names it at once")
        << QStringList{"判定前 14", "判定前 03", "判定前 14", "現像前 14"} << Steps{{2, 3}, {3, 2}}
        << QStringList{"生き物14", "判定前", "生き物14", "生き物14"} << "現像しておいたぞ" << -110 << none;
    QTest::newRow("judge twice") << QStringList{"判定前 22"} << Steps{{0, 3}, {0, 3}} << QStringList{"生き物22"}
                                 << "それは判定できないよ" << -100 << none;
    QTest::newRow("send undeveloped")
        << QStringList{"現像前 00", "判定前 01", "現像前 02"} << Steps{{2, 4}} << QStringList{"現像前", "判定前"}
        << "現像前じゃないか\r\n1円支払おう" << 1 << none;
    QTest::newRow("send unjudged rare: nothing to the album")
        << QStringList{"判定前 29"} << Steps{{0, 4}} << none << "判定前じゃないか\r\n3円支払おう" << 3 << none;
    QTest::newRow("send named: a known key is not added twice")
        << QStringList{"生き物18 18", "生き物25 25", "生き物18 18"} << Steps{{0, 4}, {0, 4}, {0, 4}} << none
        << "珍しいぞ\r\n640円支払おう" << 1580 << QStringList{"18", "25"};
}

void TestPlay::cameraButtons()
{
    QFETCH(QStringList, photographs);
    QFETCH(Steps, steps);
    QFETCH(QStringList, after);
    QFETCH(QString, said);
    QFETCH(int, money);
    QFETCH(QStringList, album);
    GameFixture game;
    game.startPlaying();
    Fom &w = game.window();
    for (const QString &photograph : photographs) {
        w.Lst[0]->addRow(photograph.section(u' ', 0, 0));
        w.Lst[1]->addRow(photograph.section(u' ', 1, 1));
    }
    for (const auto &[row, button] : steps) {
        w.Lst[0]->setListIndex(row);
        QTest::mouseClick(w.ComMove[button], Qt::LeftButton);
    }
    QCOMPARE(rows(w.Lst[0]), after);
    QCOMPARE(w.Lbl->caption(), said);
    QCOMPARE(w.Money, money);
    QCOMPARE(rows(w.Lst[3]), album);
    const bool refused = steps.first().first < 0;
    QCOMPARE(game.messages.shown.size(), refused ? 1 : 0);
    if (refused)
        QCOMPARE(game.messages.shown[0].text, QStringLiteral("獣が選ばれてないよ"));
}

void TestPlay::lastShotChoosesTheEnding_data()
{
    QTest::addColumn<int>("money");
    QTest::addColumn<QString>("ending");  // none: the bad one, whose file ends at once
    QTest::addColumn<bool>("byKey");  // Space on シャッター, then on what has the focus
    QTest::newRow("5000 is good") << 5000 << "goodend" << false;
    QTest::newRow("4999 is bad, by the keyboard") << 4999 << "badend" << true;
    QTest::newRow("an ending that cannot play counts on") << 0 << "" << false;
}

void TestPlay::lastShotChoosesTheEnding()
{
    QFETCH(int, money);
    QFETCH(QString, ending);
    QFETCH(bool, byKey);
    GameFixture game;
    if (ending.isEmpty())
        game.writeBytes(QStringLiteral("txt/badend.dat"), "only\r\n\r\n");
    game.startPlaying();
    Fom &w = game.window();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.Lst[0]->addRow(QStringLiteral("現像前"));
    w.Lst[1]->addRow(QStringLiteral("00"));
    w.Lst[0]->setListIndex(0);
    w.SyasinCnt = 99;
    w.Money = money;
    game.random.pushAll({0.9f, 0.99f, 0.0f});  // the last shot still catches "10"
    if (byKey) {
        w.ComMove[0]->setFocus();
        QTest::keyClick(w.ComMove[0], Qt::Key_Space);
    } else {
        QTest::mouseClick(w.ComMove[0], Qt::LeftButton);
    }
    QCOMPARE(rows(w.Lst[1]), (QStringList{QStringLiteral("00"), QStringLiteral("10")}));
    QVERIFY(w.EndFlg);
    if (ending.isEmpty()) {
        // Back in play, this game's photographs kept, flagged: the next shot tries the
        // ending again, and its end starts a new game whose opening ends in play, not
        // in one more game.
        QVERIFY(w.BakMove->isVisible() && !w.ComNext->isVisible());
        QTest::mouseClick(w.ComMove[0], Qt::LeftButton);
        QCOMPARE(w.SyasinCnt, 0);
        QCOMPARE(w.Lbl->caption(), QStringLiteral("\r\nopn p1 一\r\nopn p1 二\r\n"));
        QTest::mouseClick(w.ComNext, Qt::LeftButton);
        QTest::mouseClick(w.ComNext, Qt::LeftButton);
        QVERIFY(w.BakMove->isVisible() && !w.ComNext->isVisible());
        return;
    }
    QCOMPARE(w.Lbl->caption(), QStringLiteral("\r\n%1 p1 一\r\n%1 p1 二\r\n").arg(ending));
    // The next-page button takes the focus from the hidden shutter: the next
    // key turns the page, it does not start the ending again.
    QCOMPARE(QApplication::focusWidget(), w.ComNext);
    if (byKey)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("\r\n%1 p%2 一\r\n%1 p%2 二\r\n").arg(ending).arg(byKey ? 2 : 1));
}

QTEST_MAIN(TestPlay)
#include "tst_play.moc"
