#include "core/fom.h"
#include "explore/wander.h"
#include "platform/codepage.h"
#include "platform/messagebox.h"
#include "platform/picturebox.h"
#include "screen/controls.h"
#include "support/gamefixture.h"

#include <QTest>

namespace {

void selectRow(ListBox *list, int row)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

QStringList rows(const ListBox *list)
{
    QStringList result;
    for (int i = 0; i < list->listCount(); ++i)
        result << list->list(i);
    return result;
}

} // namespace

// Whole roads through the real window: one photograph from the forest to the
// professor, whole games to either ending and into the next, and the eternal
// album across runs.
class TestPlay : public QObject
{
    Q_OBJECT

private slots:
    void roadOfOnePhotograph();
    void placeButtons();
    void wholeGameToTheBadEndingAndOn();
    void wholeGameToTheGoodEndingAndAcrossARestart();
    void lastShotChoosesTheEnding_data();
    void lastShotChoosesTheEnding();
    void endingThatCannotPlayCountsOn();
};

void TestPlay::roadOfOnePhotograph()
{
    GameFixture game;
    game.writePicture(QStringLiteral("02"), "BMP");
    game.writeLines(QStringLiteral("txt/02.dat"), {QStringLiteral("苔の上で眠る。"), QStringLiteral("朝露が好き。")});
    game.startPlaying();
    Fom &w = game.window();

    // 森: 3 円, forest +5, water -2.
    game.random.pushAll({0.35f, 0.55f, 0.25f});
    QTest::mouseClick(w.Com[0], Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("移動したよ"));
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("-3円"));
    QCOMPARE(w.PlacePoint, (PlacePoints{5, -2, 0}));

    // シャッター: still the edge case (forest highest, at most 10): roll 90, then "0" and "2".
    game.random.pushAll({0.9f, 0.1f, 0.7f});
    QTest::mouseClick(w.ComMove[0], Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("シャッター！！"));
    QCOMPARE(rows(w.Lst[0]), QStringList{QStringLiteral("現像前")});
    QCOMPARE(rows(w.Lst[1]), QStringList{QStringLiteral("02")});
    QCOMPARE(w.LblSyasin->caption(), QStringLiteral("1枚／100枚"));
    QCOMPARE(w.Lst[0]->listIndex(), -1);

    selectRow(w.Lst[0], 0);
    QCOMPARE(w.Lst[0]->listIndex(), 0);
    // アルバム before developing: the panel without a picture.
    QTest::mouseClick(w.ComMove[1], Qt::LeftButton);
    QVERIFY(w.BakSee->isVisible());
    QVERIFY(!w.Pic->isVisible());
    QCOMPARE(w.LblSee->caption(), QStringLiteral("これはなんの生物なのかな・・・"));
    QCOMPARE(w.NowBeast, QStringLiteral("02"));
    QCOMPARE(w.Lbl->caption(), QString());

    QTest::mouseClick(w.ComMove[2], Qt::LeftButton);  // 現像
    QVERIFY(!w.BakSee->isVisible());
    QCOMPARE(w.Lst[0]->list(0), QStringLiteral("判定前"));
    QCOMPARE(w.Lbl->caption(), QStringLiteral("現像しておいたぞ"));
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("-13円"));
    QCOMPARE(w.Lst[0]->listIndex(), 0);

    QTest::mouseClick(w.ComMove[3], Qt::LeftButton);  // 判定
    QCOMPARE(w.Lbl->caption(), QStringLiteral("これは生き物02だな。\r\nよく見つけたね"));
    QCOMPARE(w.Lst[0]->list(0), QStringLiteral("生き物02"));
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("-113円"));

    QTest::mouseClick(w.ComMove[1], Qt::LeftButton);  // アルバム: picture and description
    QVERIFY(w.Pic->isVisible());
    QCOMPARE(w.LblSee->caption(), QStringLiteral("\r\n苔の上で眠る。\r\n朝露が好き。"));
    QVERIFY(w.Pic->surface().pixelColor(2, 2).alpha() == 255);

    QTest::mouseClick(w.ComMove[4], Qt::LeftButton);  // 送信
    QCOMPARE(w.Lbl->caption(), QStringLiteral("あんまり珍しくないな\r\n120円支払おう"));
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("7円"));
    QCOMPARE(w.Money, 7);
    QCOMPARE(w.Lst[0]->listCount(), 0);
    QCOMPARE(w.Lst[1]->listCount(), 0);
    QCOMPARE(rows(w.Lst[2]), QStringList{QStringLiteral("生き物02")});
    QCOMPARE(rows(w.Lst[3]), QStringList{QStringLiteral("02")});
    QCOMPARE(w.Lst[0]->listIndex(), -1);
    QVERIFY(game.messages.shown.isEmpty());
}

void TestPlay::placeButtons()
{
    GameFixture game;
    game.startPlaying();
    Fom &w = game.window();
    w.BakSee->show();
    game.random.pushAll({0.95f, 0.95f, 0.95f});  // 9 円, +9, -9
    QTest::mouseClick(w.Com[2], Qt::LeftButton);  // 土: earth up, forest down
    QCOMPARE(w.PlacePoint, (PlacePoints{-9, 0, 9}));
    QVERIFY(!w.BakSee->isVisible());
    game.random.pushAll({0.05f, 0.0f, 0.0f});
    QTest::mouseClick(w.Com[1], Qt::LeftButton);  // 水: a step that costs and moves nothing
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("-9円"));
    QCOMPARE(w.PlacePoint, (PlacePoints{-9, 0, 9}));
    game.random.pushAll({0.45f});
    const int before = game.random.taken();
    QTest::mouseClick(w.Com[3], Qt::LeftButton);  // 戻る: one draw, points wiped
    QCOMPARE(game.random.taken() - before, 1);
    QCOMPARE(w.PlacePoint, (PlacePoints{0, 0, 0}));
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("-13円"));
    QCOMPARE(w.Lbl->caption(), QStringLiteral("移動したよ"));
}

void TestPlay::wholeGameToTheBadEndingAndOn()
{
    GameFixture game;
    game.writeBytes(QStringLiteral("txt/abm.dat"), codepage::encode(QStringLiteral("生き物05,05\r\n")));
    game.startPlaying();
    Fom &w = game.window();
    game.random.setFallback(0.0f);  // the edge case with roll 0: nothing is caught
    for (int shot = 1; shot < Fom::kFilm; ++shot) {
        QTest::mouseClick(w.ComMove[0], Qt::LeftButton);
        QCOMPARE(w.Lbl->caption(), QStringLiteral("シャッター！！\r\nなにも撮れなかった"));
    }
    QCOMPARE(w.LblSyasin->caption(), QStringLiteral("99枚／100枚"));
    QTest::mouseClick(w.ComMove[0], Qt::LeftButton);
    QCOMPARE(w.LblSyasin->caption(), QStringLiteral("99枚／100枚"));
    QVERIFY(w.EndFlg);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("\r\nbadend p1 一\r\nbadend p1 二\r\n"));
    QVERIFY(!w.BakMove->isVisible());
    QVERIFY(w.ComNext->isVisible());
    QTest::mouseClick(w.ComNext, Qt::LeftButton);
    QTest::mouseClick(w.ComNext, Qt::LeftButton);
    // The next game's opening.
    QCOMPARE(w.Lbl->caption(), QStringLiteral("\r\nopn p1 一\r\nopn p1 二\r\n"));
    QVERIFY(!w.EndFlg);
    QCOMPARE(w.SyasinCnt, 0);
    QCOMPARE(w.LblSyasin->caption(), QStringLiteral("0枚／100枚"));
    QCOMPARE(rows(w.Lst[2]), QStringList{QStringLiteral("生き物05")});
}

void TestPlay::wholeGameToTheGoodEndingAndAcrossARestart()
{
    GameFixture game;
    game.startPlaying();
    Fom &w = game.window();
    // Twelve steps into the forest at no cost: forest 100, water -100.
    for (int i = 0; i < 12; ++i) {
        game.random.pushAll({0.0f, 0.95f, 0.95f});
        QTest::mouseClick(w.Com[0], Qt::LeftButton);
    }
    QCOMPARE(w.PlacePoint, (PlacePoints{100, -100, 0}));
    QCOMPARE(w.Money, 0);
    game.random.push(0.995f);  // roll 99: the legendary one of the forest
    QTest::mouseClick(w.ComMove[0], Qt::LeftButton);
    QCOMPARE(rows(w.Lst[1]), QStringList{QStringLiteral("09")});
    selectRow(w.Lst[0], 0);
    QTest::mouseClick(w.ComMove[2], Qt::LeftButton);
    QTest::mouseClick(w.ComMove[3], Qt::LeftButton);
    QTest::mouseClick(w.ComMove[4], Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("これは珍しい！！\r\n10000円支払おう"));
    QCOMPARE(w.Money, 9890);
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("9890円"));

    game.random.setFallback(0.0f);  // forest 100, roll 0: nothing more
    for (int shot = 2; shot <= Fom::kFilm; ++shot)
        QTest::mouseClick(w.ComMove[0], Qt::LeftButton);
    QVERIFY(w.EndFlg);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("\r\ngoodend p1 一\r\ngoodend p1 二\r\n"));
    QTest::mousePress(w.ComNext, Qt::RightButton);  // skip the ending: a new game at once
    QCOMPARE(w.Lbl->caption(), QStringLiteral("\r\nopn p1 一\r\nopn p1 二\r\n"));
    QCOMPARE(w.Money, 0);
    QCOMPARE(w.PlacePoint, (PlacePoints{0, 0, 0}));
    QVERIFY(!w.BeastKnown[9]);
    QCOMPARE(rows(w.Lst[2]), QStringList{QStringLiteral("生き物09")});

    game.restart();
    QCOMPARE(game.readBytes(QStringLiteral("txt/abm.dat")), codepage::encode(QStringLiteral("生き物09,09\r\n")));
    QCOMPARE(rows(game.window().Lst[2]), QStringList{QStringLiteral("生き物09")});
    QCOMPARE(rows(game.window().Lst[3]), QStringList{QStringLiteral("09")});
}

void TestPlay::lastShotChoosesTheEnding_data()
{
    QTest::addColumn<int>("money");
    QTest::addColumn<QString>("ending");
    QTest::newRow("5000 is good") << 5000 << "goodend";
    QTest::newRow("4999 is bad") << 4999 << "badend";
    QTest::newRow("in debt") << -250 << "badend";
}

void TestPlay::lastShotChoosesTheEnding()
{
    QFETCH(int, money);
    QFETCH(QString, ending);
    GameFixture game;
    game.startPlaying();
    Fom &w = game.window();
    w.SyasinCnt = 99;
    w.Money = money;
    game.random.pushAll({0.9f, 0.99f, 0.0f});  // the last shot still catches "10"
    QTest::mouseClick(w.ComMove[0], Qt::LeftButton);
    QCOMPARE(rows(w.Lst[1]), QStringList{QStringLiteral("10")});
    QCOMPARE(w.Lbl->caption(), QStringLiteral("\r\n%1 p1 一\r\n%1 p1 二\r\n").arg(ending));
    QVERIFY(w.EndFlg);
}

void TestPlay::endingThatCannotPlayCountsOn()
{
    GameFixture game;
    game.remove(QStringLiteral("txt/badend.dat"));
    game.startPlaying();
    Fom &w = game.window();
    w.SyasinCnt = 99;
    game.random.setFallback(0.0f);
    QTest::mouseClick(w.ComMove[0], Qt::LeftButton);
    QCOMPARE(game.messages.shown.size(), 1);
    QCOMPARE(game.messages.shown[0].text, w.PathTxt + QStringLiteral("badend.dat not found"));
    // Back in play, flagged all the same: the next shot counts on and tries the
    // ending again, and this time its end, flagged, starts a new game.
    QVERIFY(w.EndFlg);
    QVERIFY(w.BakMove->isVisible());
    QCOMPARE(w.SyasinCnt, 100);
    QTest::mouseClick(w.ComMove[0], Qt::LeftButton);
    QCOMPARE(game.messages.shown.size(), 2);
    QCOMPARE(w.SyasinCnt, 0);
    QVERIFY(!w.EndFlg);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("\r\nopn p1 一\r\nopn p1 二\r\n"));
    // And the opening ends in play, not in one more new game.
    QTest::mouseClick(w.ComNext, Qt::LeftButton);
    QTest::mouseClick(w.ComNext, Qt::LeftButton);
    QVERIFY(w.BakMove->isVisible());
    QVERIFY(!w.ComNext->isVisible());
}

QTEST_MAIN(TestPlay)
#include "tst_play.moc"
