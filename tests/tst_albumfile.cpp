#include "core/albumlock.h"
#include "core/fom.h"
#include "platform/codepage.h"
#include "platform/regularfile.h"
#include "screen/controls.h"
#include "support/gamecopy.h"
#include "support/gamefixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

// The disk of this test process: the next syncs it is asked for fail, as a
// disk that finds out late that it has no room.
namespace {
std::atomic<int> failingSyncs{0};
}

extern "C" int fsync(int fd)
{
    if (failingSyncs > 0) {
        --failingSyncs;
        errno = EIO;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

// The eternal album on disk: whatever the machine does while it is saved, and
// whatever the file holds when it is read, nothing the player had is lost.
namespace {

const QString kAlbum = QStringLiteral("txt/abm.dat");

// Puts `rows` rows into the eternal album of a running game, as albumBytes() writes them.
void fillAlbum(Fom &w, int rows, const QString &prefix)
{
    for (int i = 0; i < rows; ++i) {
        w.Lst[2]->addRow(prefix + QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0')));
        w.Lst[3]->addRow(QStringLiteral("%1").arg(i % 30, 2, 10, QLatin1Char('0')));
    }
}

QStringList savesInProgress(const GameFixture &game)
{
    return QDir(game.path(QStringLiteral("txt"))).entryList({QStringLiteral("*.saving-*")}, QDir::Files);
}

} // namespace

class TestAlbumFile : public QObject
{
    Q_OBJECT

private slots:
    void refusedAtStartUp_data();
    void refusedAtStartUp();
    void failedWritesKeepTheOldAlbum_data();
    void failedWritesKeepTheOldAlbum();
    void albumComesBackOrIsKeptAside_data();
    void albumComesBackOrIsKeptAside();
    void killedSavesLeaveTheOldAlbumOrTheNew();
    void changesReachTheDiskAsTheyHappen_data();
    void changesReachTheDiskAsTheyHappen();
    void aLinkedAlbumStaysLinked();
    void oneGamePerAlbum();
};

void TestAlbumFile::refusedAtStartUp_data()
{
    QTest::addColumn<QString>("file");   // the album is made a FIFO, the names file given `lines` lines
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("commaLine");  // 0: no name holds ","
    QTest::addColumn<QString>("said");   // the box names the file, and this
    const QString names = QStringLiteral("txt/name.dat");
    QTest::newRow("29 names") << names << 29 << 0 << QStringLiteral(" を読み込めません");
    // A name is the first field of an album line: a "," would cut it there.
    QTest::newRow("a name with a comma") << names << 30 << 5 << QStringLiteral(" の 5 行目");
    // Never waited on, never taken for an empty album: told why, in the reader's words.
    QTest::newRow("the album a FIFO") << kAlbum << 30 << 0 << QStringLiteral(" の永遠アルバムを読み込めません（");
}

void TestAlbumFile::refusedAtStartUp()
{
    QFETCH(QString, file);
    QFETCH(int, lines);
    QFETCH(int, commaLine);
    QFETCH(QString, said);
    GameFixture game;
    QStringList names = GameFixture::names().mid(0, lines);
    if (commaLine > 0)
        names[commaLine - 1] = QStringLiteral("キツネ,タヌキ");
    game.writeLines(QStringLiteral("txt/name.dat"), names);
    game.writeBytes(kAlbum, albumBytes(3));
    if (file == kAlbum) {
        QFile::remove(game.path(kAlbum));
        QCOMPARE(mkfifo(QFile::encodeName(game.path(kAlbum)).constData(), 0644), 0);
        said += readRegularFile(game.path(kAlbum)).reason;
    }
    const QStringList before = folderEntries(game.path(QStringLiteral("txt")));
    Fom &w = game.window();
    QVERIFY(!game.load());
    // Refused before the window is shown, with the music closed again and the album as it was.
    QCOMPARE(game.messages.shown.size(), 1);
    const QString &text = game.messages.shown[0].text;
    QVERIFY2(text.startsWith(game.path(file) + said), qPrintable(text));
    QVERIFY(!w.isVisible());
    QCOMPARE(game.backend().calls.last(), QStringLiteral("closeMusic"));
    QCOMPARE(folderEntries(game.path(QStringLiteral("txt"))), before);
}

void TestAlbumFile::failedWritesKeepTheOldAlbum_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("sizeLimit");    // bytes a file may grow to; -1: none
    QTest::addColumn<int>("syncs");        // syncs that fail, one a save: the second save of one saves
    QTest::newRow("nothing can be written") << 30 << 0 << 0;
    QTest::newRow("the size limit falls mid-album") << 2000 << 16384 << 0;
    QTest::newRow("one failed sync: the retry saves") << 30 << -1 << 1;
    QTest::newRow("two failed syncs") << 30 << -1 << 2;
}

void TestAlbumFile::failedWritesKeepTheOldAlbum()
{
    QFETCH(int, rows);
    QFETCH(int, sizeLimit);
    QFETCH(int, syncs);
    GameFixture game;
    const QByteArray old = albumBytes(30, QStringLiteral("前の"));
    game.writeBytes(kAlbum, old);
    game.start();
    fillAlbum(game.window(), rows, QStringLiteral("新しい"));
    const QByteArray fresh = old + albumBytes(rows, QStringLiteral("新しい"));

    // The child is the player's machine: it breaks the disk, then shuts the game
    // down, and says how the album came out: 0 is whole and the player was told.
    const int outcome = inChild([&] {
        if (sizeLimit >= 0) {
            signal(SIGXFSZ, SIG_IGN);  // as the game does; the process-level suite checks that
            const rlimit limit{rlim_t(sizeLimit), rlim_t(sizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        failingSyncs = syncs;
        game.window().Form_Unload();
        if (syncs == 1)
            return game.readBytes(kAlbum) == fresh && game.messages.shown.isEmpty() ? 0 : 5;
        if (game.readBytes(kAlbum) != old)
            return 1;
        if (game.messages.shown.size() != 1 || !game.messages.shown[0].text.contains(game.path(kAlbum)))
            return 2;
        if (!game.window().albumSaveFailed())
            return 3;
        return savesInProgress(game).isEmpty() ? 0 : 4;
    });
    QVERIFY2(outcome == 0, qPrintable(QStringLiteral("1 album changed, 2 no message, 3 reported as saved, "
                                                     "4 unfinished copy left, 5 not saved; got %1")
                                          .arg(outcome)));
}

void TestAlbumFile::albumComesBackOrIsKeptAside_data()
{
    QTest::addColumn<QByteArray>("album");        // null: no file
    QTest::addColumn<int>("earlier");             // copies already made: abm.dat.bak, abm.dat.bak2 …
    QTest::addColumn<bool>("elsewhere");          // kept in the player's folder, started from txt/abm.dat
    QTest::addColumn<QByteArray>("saved");
    QTest::addColumn<QStringList>("copies");

    // Microsoft's code page: a "～" and a circled digit come back as they were.
    const QByteArray clean = codepage::encode(QStringLiteral("森の子ジカ,00\r\n青い～カワセミ,14\r\n①号,20\r\n伝説の竜,29\r\n"));
    const QByteArray damaged = "ok,00\r\nno comma here\r\nthree,01,extra\r\n\x81\x20\xff,02\r\n";
    const QByteArray readable = "ok,00\r\nthree,01\r\n\x7f\x20\x7f,02\r\n";
    const auto backups = [](int count) {
        QStringList names{QStringLiteral("abm.dat.bak")};
        for (int n = 2; n <= count; ++n)
            names << QStringLiteral("abm.dat.bak%1").arg(n);
        return names;
    };
    QTest::newRow("no album yet: made at the end, empty") << QByteArray() << 0 << false << QByteArray("") << QStringList();
    QTest::newRow("several") << clean << 0 << false << clean << QStringList();
    QTest::newRow("in the player's folder, from a read-only game's") << clean << 0 << true << clean << QStringList();
    QTest::newRow("lone LF ends are no loss") << QByteArray("a,00\nb,01") << 0 << false << QByteArray("a,00\r\nb,01\r\n")
                                             << QStringList();
    QTest::newRow("damaged: copied first") << damaged << 0 << false << readable << backups(1);
    QTest::newRow("an earlier copy is not overwritten") << damaged << 1 << false << readable << backups(2);
    // No copy can be made: the album stays as it is, and the player is told at the end.
    QTest::newRow("every copy's name taken: never replaced") << damaged << 99 << false << damaged << backups(99);
}

// What the album holds is saved back at the end as it was read; what cannot be
// read is first copied aside, never over an earlier copy.
void TestAlbumFile::albumComesBackOrIsKeptAside()
{
    QFETCH(QByteArray, album);
    QFETCH(int, earlier);
    QFETCH(bool, elsewhere);
    QFETCH(QByteArray, saved);
    QFETCH(QStringList, copies);
    GameFixture game;
    const QByteArray earlierCopy = "earlier,00\r\n";
    if (!album.isNull())
        game.writeBytes(kAlbum, album);
    for (int n = 0; n < earlier; ++n)
        game.writeBytes(QStringLiteral("txt/") + copies[n], earlierCopy);
    if (elsewhere) {
        game.albumPath = game.path(QStringLiteral("player/shashin/abm.dat"));
        game.startingAlbumPath = game.path(kAlbum);
    }
    game.start();
    game.window().close();

    QCOMPARE(game.readBytes(elsewhere ? QStringLiteral("player/shashin/abm.dat") : kAlbum).toHex(' '), saved.toHex(' '));
    const QStringList kept = QDir(game.path(QStringLiteral("txt"))).entryList({QStringLiteral("abm.dat.bak*")}, QDir::Files);
    QCOMPARE(kept.size(), copies.size());
    // The newest copy is the album exactly as it was; the earlier ones stay as they were.
    for (int n = 0; n < copies.size(); ++n)
        QCOMPARE(game.readBytes(QStringLiteral("txt/") + copies[n]), n < earlier ? earlierCopy : album);
    // Told only when no copy could be made, and so nothing saved.
    QCOMPARE(game.messages.shown.size(), qsizetype(earlier == 99));
}

void TestAlbumFile::killedSavesLeaveTheOldAlbumOrTheNew()
{
    GameFixture game;
    const QByteArray old = albumBytes(2000, QStringLiteral("前の"));
    const QByteArray fresh = albumBytes(2000, QStringLiteral("新しい"));
    game.writeBytes(kAlbum, old);
    game.start();
    Fom &w = game.window();
    w.Lst[2]->clearRows();
    w.Lst[3]->clearRows();
    fillAlbum(w, 2000, QStringLiteral("新しい"));

    // The first save runs whole and is timed; each of the others is killed.
    qint64 saveUs = 0;
    int killedInside = 0;
    for (int i = -1; i < 150; ++i) {
        game.writeBytes(kAlbum, old);
        QElapsedTimer clock;
        clock.start();
        const pid_t child = fork();
        if (child == 0) {
            w.Form_Unload();
            _exit(0);
        }
        if (i >= 0) {
            usleep(useconds_t(QRandomGenerator::global()->bounded(saveUs * 3 / 2)));
            kill(child, SIGKILL);
        }
        waitpid(child, nullptr, 0);
        saveUs = i < 0 ? qMax<qint64>(clock.nsecsElapsed() / 1000, 1000) : saveUs;
        QVERIFY(i >= 0 || game.readBytes(kAlbum) == fresh);
        const QByteArray now = game.readBytes(kAlbum);
        QVERIFY2(now == old || now == fresh, qPrintable(QStringLiteral("torn at kill %1").arg(i)));
        const QStringList left = savesInProgress(game);
        killedInside += int(!left.isEmpty());
        for (const QString &name : left)
            QFile::remove(game.path(QStringLiteral("txt/") + name));
    }
    QVERIFY2(killedInside > 0, "no kill landed inside a save");
}

void TestAlbumFile::changesReachTheDiskAsTheyHappen_data()
{
    QTest::addColumn<bool>("diskComesBack");  // before the end
    QTest::addColumn<bool>("byDisplayLoss");  // the end: the platform's exit(1), else the player closes
    QTest::addColumn<int>("boxes");
    QTest::addColumn<bool>("cleared");        // the album on disk at the end
    QTest::newRow("the player closes: tried again") << true << false << 1 << true;
    QTest::newRow("the display goes: tried again") << true << true << 1 << true;
    QTest::newRow("the display goes, the disk still full") << false << true << 1 << false;
    QTest::newRow("the player closes, the disk still full") << false << false << 2 << false;
}

void TestAlbumFile::changesReachTheDiskAsTheyHappen()
{
    QFETCH(bool, diskComesBack);
    QFETCH(bool, byDisplayLoss);
    QFETCH(int, boxes);
    QFETCH(bool, cleared);
    GameFixture game;
    const QByteArray old = albumBytes(30, QStringLiteral("前の"));
    game.writeBytes(kAlbum, old);
    game.startPlaying();
    Fom &w = game.window();
    // Sent, then killed at once: it is on the disk.
    QCOMPARE(inChild([&] {
                 w.Lst[2]->addRow(QStringLiteral("新しい"));
                 w.Lst[3]->addRow(QStringLiteral("07"));
                 w.albumChanged();
                 raise(SIGKILL);
                 return 1;
             }),
             -SIGKILL);
    QCOMPARE(game.readBytes(kAlbum), old + codepage::encode(QStringLiteral("新しい,07\r\n")));
    game.writeBytes(kAlbum, old);

    // A change whose save fails says so once; the next change and the end try again.
    const int status = inChild([&] {
        failingSyncs = 4;
        w.Lst[2]->clearRows();
        w.Lst[3]->clearRows();
        w.albumChanged();
        w.albumChanged();
        if (game.readBytes(kAlbum) != old || game.messages.shown.size() != 1)
            return 10;
        failingSyncs = diskComesBack ? 0 : 1000;
        if (byDisplayLoss)
            exit(1);  // what the platform does when the display goes away
        w.close();
        return 20 + int(game.messages.shown.size());
    });
    QCOMPARE(status, byDisplayLoss ? 1 : 20 + boxes);
    QCOMPARE(game.readBytes(kAlbum), cleared ? QByteArray() : old);
    QVERIFY(savesInProgress(game).isEmpty());
}

void TestAlbumFile::aLinkedAlbumStaysLinked()
{
    GameFixture game;
    // The player keeps the album among other files of theirs, and private.
    QVERIFY(QDir().mkpath(game.path(QStringLiteral("dotfiles/shashin"))));
    const QString target = game.path(QStringLiteral("dotfiles/shashin/album"));
    game.writeBytes(QStringLiteral("dotfiles/shashin/album"), albumBytes(3, QStringLiteral("前の")));
    QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    // Through a link to a link, the one the player switches between albums with.
    QVERIFY(QFile::link(QStringLiteral("shashin/album"), game.path(QStringLiteral("dotfiles/current"))));
    QVERIFY(QFile::link(QStringLiteral("../dotfiles/current"), game.path(kAlbum)));
    game.startPlaying();
    QCOMPARE(game.window().Lst[2]->listCount(), 3);
    // The album is locked where it is, whichever way it is reached.
    AlbumLock other(target);
    QCOMPARE(other.lock(), AlbumLock::HeldElsewhere);
    game.window().Lst[2]->clearRows();
    game.window().Lst[3]->clearRows();
    game.window().albumChanged();

    const auto linksTo = [&game](const char *link) {
        return QString::fromStdString(std::filesystem::read_symlink(game.path(QLatin1String(link)).toStdString()).string());
    };
    QCOMPARE(linksTo("txt/abm.dat"), QStringLiteral("../dotfiles/current"));
    QCOMPARE(linksTo("dotfiles/current"), QStringLiteral("shashin/album"));
    QCOMPARE(game.readBytes(QStringLiteral("dotfiles/shashin/album")), QByteArray());
    QCOMPARE(QFile::permissions(target) & 0x0777, QFileDevice::ReadUser | QFileDevice::WriteUser);
    QCOMPARE(QDir(game.path(QStringLiteral("dotfiles/shashin"))).entryList(QDir::Files), QStringList{"album"});
    QVERIFY(game.messages.shown.isEmpty());
}

void TestAlbumFile::oneGamePerAlbum()
{
    GameFixture game;
    const QByteArray old = albumBytes(3, QStringLiteral("前の"));
    game.writeBytes(kAlbum, old);
    // A second game on the same album, in a process of its own, while this one answers.
    const auto second = [&game](int boxes) {
        return [&game, boxes] {
            ScriptedMessages messages;
            // Never destroyed: the child leaves with _exit, as a second game does.
            Fom &other = *new Fom(FomServices{game.dir(), &game.random, &messages, &game.sound(), {}, {}});
            if (other.Form_Load() || !other.anotherGameIsOpen())
                return 1;
            return messages.shown.size() == boxes ? 0 : 2;
        };
    };

    // A game that holds the album and never finishes its answer: the player is
    // told after one deadline, however the bytes trickle in. (One that was killed
    // leaves its lock to the next: the launch suite sees to that.)
    const int held = ::open(QFile::encodeName(game.path(QStringLiteral("txt"))).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) == 0);
    AlbumLock where(game.path(kAlbum));
    QCOMPARE(where.lock(), AlbumLock::HeldElsewhere);
    QLocalServer trickling;
    QLocalServer::removeServer(where.serverName());
    QVERIFY(trickling.listen(where.serverName()));
    QTimer drip;
    connect(&drip, &QTimer::timeout, &trickling, [&trickling] {
        for (QLocalSocket *peer : trickling.findChildren<QLocalSocket *>())
            peer->write("r");
    });
    drip.start(200);  // slower than the longest answer could fill in time
    QElapsedTimer waited;
    waited.start();
    QCOMPARE(inChild(second(1), 10000), 0);
    QVERIFY2(waited.elapsed() < 6000, qPrintable(QString::number(waited.elapsed())));
    trickling.close();
    ::close(held);

    // What earlier versions locked with: nothing now.
    game.writeBytes(kAlbum + QStringLiteral(".lock"), {});
    game.start();
    Fom &first = game.window();
    first.showMinimized();
    // The first game is in the middle of a save.
    game.writeBytes(kAlbum + QStringLiteral(".saving-Ab12Cd"), "x,00\r\n");
    QCOMPARE(inChild(second(0), 10000), 0);
    QTRY_VERIFY(!first.isMinimized());
    QVERIFY(QFile::exists(game.path(kAlbum + QStringLiteral(".saving-Ab12Cd"))));
    QCOMPARE(game.readBytes(kAlbum), old);
}

QTEST_MAIN(TestAlbumFile)
#include "tst_albumfile.moc"
