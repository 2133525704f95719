#include "core/fom.h"
#include "platform/codepage.h"
#include "platform/gametimer.h"
#include "screen/controls.h"
#include "support/gamefixture.h"

#include <QDir>
#include <QTest>

// Start-up, the new game and shut-down: the names, the eternal album file and the
// music commands around them.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void pathsAndNames();
    void onlyTheFirstThirtyNamesAreRead();
    void programFolderEndingInSlash();
    void unusableNamesStopStartUp_data();
    void unusableNamesStopStartUp();
    void albumIsLoadedInPairs();
    void missingAlbumIsEmptyAndCreatedAtShutDown();
    void albumRoundTripIsByteExact_data();
    void albumRoundTripIsByteExact();
    void failedSaveKeepsTheOldAlbumAndSaysSo();
    void musicCommandsAtStartAndEnd();
    void newGameResetsThePlayButNotTheEternalAlbum();
    void closingDuringAStoryClosesItsFileAndSaves();
};

void TestStartup::pathsAndNames()
{
    GameFixture game;
    QVERIFY(game.load());
    Fom &w = game.window();
    QCOMPARE(w.PathApp, game.dir() + u'/');
    QCOMPARE(w.PathTxt, game.dir() + QStringLiteral("/txt/"));
    QCOMPARE(w.PathImg, game.dir() + QStringLiteral("/img/"));
    QCOMPARE(w.PathBgm, game.dir() + QStringLiteral("/bgm/"));
    QCOMPARE(w.BeastName[0], QStringLiteral("生き物00"));
    QCOMPARE(w.BeastName[29], QStringLiteral("生き物29"));
    QCOMPARE(w.BeastName[30], QString());
    QVERIFY(game.messages.shown.isEmpty());
    QVERIFY(!w.files().isOpen(w.FileNo));
}

void TestStartup::onlyTheFirstThirtyNamesAreRead()
{
    GameFixture game;
    game.writeLines(QStringLiteral("txt/name.dat"), GameFixture::names() << QStringLiteral("三十一番目"));
    QVERIFY(game.load());
    QCOMPARE(game.window().BeastName[29], QStringLiteral("生き物29"));
    QCOMPARE(game.window().BeastName[30], QString());
}

void TestStartup::programFolderEndingInSlash()
{
    GameFixture game;
    ScriptedRandom random;
    ScriptedMessages messages;
    SoundDevice sound(std::make_unique<SilentBackend>());
    Fom w({game.dir() + u'/', &random, &messages, &sound});
    QVERIFY(w.Form_Load());
    QCOMPARE(w.PathTxt, game.dir() + QStringLiteral("/txt/"));
    QCOMPARE(w.BeastName[5], QStringLiteral("生き物05"));
}

void TestStartup::unusableNamesStopStartUp_data()
{
    QTest::addColumn<int>("lines");      // -1: no file at all
    QTest::addColumn<int>("commaLine");  // 0: no name holds ","
    QTest::addColumn<QString>("said");
    QTest::newRow("missing") << -1 << 0 << QString();
    QTest::newRow("empty") << 0 << 0 << QString();
    QTest::newRow("29 lines") << 29 << 0 << QString();
    // A name is the first field of an album line: a "," would cut it there.
    QTest::newRow("a name with a comma") << 30 << 5 << QStringLiteral(" 5 行目");
}

void TestStartup::unusableNamesStopStartUp()
{
    QFETCH(int, lines);
    QFETCH(int, commaLine);
    QFETCH(QString, said);
    GameFixture game;
    QStringList names = GameFixture::names().mid(0, lines);
    if (commaLine > 0)
        names[commaLine - 1] = QStringLiteral("キツネ,タヌキ");
    if (lines < 0)
        game.remove(QStringLiteral("txt/name.dat"));
    else
        game.writeLines(QStringLiteral("txt/name.dat"), names);
    QVERIFY(!game.load());
    QCOMPARE(game.messages.shown.size(), 1);
    const QString &text = game.messages.shown[0].text;
    QVERIFY2(text.contains(game.path(QStringLiteral("txt/name.dat"))) && text.contains(said), qPrintable(text));
    QVERIFY(!game.window().isVisible());
    QCOMPARE(game.sound().sent().last(), QStringLiteral("close MIDI notify"));
}

void TestStartup::albumIsLoadedInPairs()
{
    GameFixture game;
    // A damaged line and an empty line are skipped; the rows after them still load.
    game.writeBytes(QStringLiteral("txt/abm.dat"),
                    codepage::encode(QStringLiteral("生き物03,03\r\n壊れた行\r\n\r\n生き物12,12\n生き物29,29")));
    QVERIFY(game.load());
    Fom &w = game.window();
    QCOMPARE(w.Lst[2]->listCount(), 3);
    QCOMPARE(w.Lst[3]->listCount(), 3);
    QCOMPARE(w.Lst[2]->list(0), QStringLiteral("生き物03"));
    QCOMPARE(w.Lst[2]->list(1), QStringLiteral("生き物12"));
    QCOMPARE(w.Lst[2]->list(2), QStringLiteral("生き物29"));
    QCOMPARE(w.Lst[3]->list(0), QStringLiteral("03"));
    QCOMPARE(w.Lst[3]->list(2), QStringLiteral("29"));
    QVERIFY(game.messages.shown.isEmpty());
}

void TestStartup::missingAlbumIsEmptyAndCreatedAtShutDown()
{
    GameFixture game;
    game.start();
    QCOMPARE(game.window().Lst[2]->listCount(), 0);
    QCOMPARE(game.window().Lst[3]->listCount(), 0);
    QVERIFY(game.messages.shown.isEmpty());
    game.window().close();
    QVERIFY(QFile::exists(game.path(QStringLiteral("txt/abm.dat"))));
    QCOMPARE(game.readBytes(QStringLiteral("txt/abm.dat")), QByteArray());
}

void TestStartup::albumRoundTripIsByteExact_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("one") << codepage::encode(QStringLiteral("森の子ジカ,00\r\n"));
    QTest::newRow("several")
        << codepage::encode(QStringLiteral("森の子ジカ,00\r\n青いカワセミ,14\r\nイワトカゲ,20\r\n伝説の竜,29\r\n"));
}

void TestStartup::albumRoundTripIsByteExact()
{
    QFETCH(QByteArray, bytes);
    GameFixture game;
    game.writeBytes(QStringLiteral("txt/abm.dat"), bytes);
    game.start();
    game.window().close();
    QCOMPARE(game.readBytes(QStringLiteral("txt/abm.dat")), bytes);
}

void TestStartup::failedSaveKeepsTheOldAlbumAndSaysSo()
{
    GameFixture game;
    const QByteArray old = codepage::encode(QStringLiteral("名前,05\r\n"));
    game.writeBytes(QStringLiteral("txt/abm.dat"), old);
    game.start();
    Fom &w = game.window();
    w.Lst[2]->addRow(QStringLiteral("新しい"));
    w.Lst[3]->addRow(QStringLiteral("06"));
    // The album's name taken by a folder: no file can be written there, even as root.
    QVERIFY(QFile::remove(game.path(QStringLiteral("txt/abm.dat"))));
    QVERIFY(QDir(game.dir()).mkpath(QStringLiteral("txt/abm.dat/keep")));
    w.close();
    QCOMPARE(game.messages.shown.size(), 1);
    QVERIFY2(game.messages.shown[0].text.contains(game.path(QStringLiteral("txt/abm.dat"))),
             qPrintable(game.messages.shown[0].text));
    QVERIFY(QDir(game.path(QStringLiteral("txt/abm.dat/keep"))).exists());
    QCOMPARE(game.sound().sent().last(), QStringLiteral("close MIDI notify"));
    // No temporary file is left behind in the folder.
    QCOMPARE(QDir(game.path(QStringLiteral("txt"))).entryList(QDir::Files).size(), 4);
}

void TestStartup::musicCommandsAtStartAndEnd()
{
    GameFixture game;
    QVERIFY(game.load());
    const QStringList expected{
        QStringLiteral("close MIDI notify"),
        QStringLiteral("open \"") + game.dir() + QStringLiteral("/bgm/bgm.mid\" alias MIDI"),
        QStringLiteral("play MIDI notify"),
    };
    QCOMPARE(game.sound().sent().mid(0, 3), expected);
    QVERIFY(game.window().shared().MusicOn);
    game.window().show();
    QTRY_VERIFY(!game.window().Lbl->caption().isEmpty());
    game.window().close();
    QCOMPARE(game.sound().sent().last(), QStringLiteral("close MIDI notify"));
}

void TestStartup::newGameResetsThePlayButNotTheEternalAlbum()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    w.PlacePoint = {40, -20, 100};
    w.BeastKnown[3] = true;
    w.Money = 4321;
    w.SyasinCnt = 57;
    w.EndFlg = true;
    w.Lst[0]->addRow(QStringLiteral("現像前"));
    w.Lst[1]->addRow(QStringLiteral("03"));
    w.Lst[2]->addRow(QStringLiteral("生き物03"));
    w.Lst[3]->addRow(QStringLiteral("03"));
    w.LblMoney->setCaption(QStringLiteral("4321円"));
    w.Form_Activate();
    QCOMPARE(w.PlacePoint, (std::array<std::int16_t, 3>{0, 0, 0}));
    QVERIFY(!w.BeastKnown[3]);
    QCOMPARE(w.Money, 0);
    QCOMPARE(w.SyasinCnt, 0);
    QVERIFY(!w.EndFlg);
    QCOMPARE(w.LblSyasin->caption(), QStringLiteral("0枚／100枚"));
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("0円"));
    QCOMPARE(w.Lst[0]->listCount(), 0);
    QCOMPARE(w.Lst[1]->listCount(), 0);
    QCOMPARE(w.Lst[2]->listCount(), 1);
    QCOMPARE(w.Lst[3]->list(0), QStringLiteral("03"));
    QCOMPARE(w.Lbl->caption(), QStringLiteral("\r\nopn p1 一\r\nopn p1 二\r\n"));
}

void TestStartup::closingDuringAStoryClosesItsFileAndSaves()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    const int storyFile = w.FileNo;
    QVERIFY(w.files().isOpen(storyFile));
    w.Lst[2]->addRow(QStringLiteral("生き物07"));
    w.Lst[3]->addRow(QStringLiteral("07"));
    w.close();
    QVERIFY(!w.files().isOpen(storyFile));
    QCOMPARE(game.readBytes(QStringLiteral("txt/abm.dat")), codepage::encode(QStringLiteral("生き物07,07\r\n")));
    QVERIFY(!w.TimLbl->isEnabled());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
