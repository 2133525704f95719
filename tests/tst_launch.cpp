#include "core/albumlock.h"
#include "core/gamefolders.h"
#include "support/desktop.h"
#include "support/gamecopy.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <optional>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// The program seen from outside: where it keeps its data set and album, one game
// per album, and how it ends when the player is not the one who ends it.
class TestLaunch : public QObject
{
    Q_OBJECT

private slots:
    void layoutRule_data();
    void layoutRule();
    void onlyThePlayerTalksToTheGame_data();
    void onlyThePlayerTalksToTheGame();
    void endingsThatAreNotThePlayers_data();
    void endingsThatAreNotThePlayers();
    void soundServersNeverHoldTheGame_data();
    void soundServersNeverHoldTheGame();
};

namespace {

// Sets an environment variable, or unsets it for none; returns what it was.
std::optional<QByteArray> setEnvironment(const char *name, const std::optional<QByteArray> &value)
{
    const std::optional<QByteArray> old = qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
    return old;
}

} // namespace

void TestLaunch::layoutRule_data()
{
    // Files beside the executable in prefix/bin, under a prefix that also holds an
    // installed data set; the player's variables. A path "/x" is prefix/x.
    QTest::addColumn<QStringList>("beside");
    QTest::addColumn<bool>("txtWritable");
    QTest::addColumn<QString>("dataHome");  // empty: unset
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("dataDir");
    QTest::addColumn<QString>("albumPath");  // empty: nowhere to keep one
    QTest::addColumn<QString>("startingFrom");
    QTest::newRow("portable") << QStringList{"txt/name.dat"} << true << "" << "/home" << "/bin" << "/bin/txt/abm.dat" << "";
    QTest::newRow("portable, txt/ read-only")
        << QStringList{"txt/name.dat", "txt/abm.dat"} << false << "" << "/home" << "/bin"
        << "/home/.local/share/shashin/abm.dat" << "/bin/txt/abm.dat";
    QTest::newRow("installed, a data home of its own")
        << QStringList{} << true << "/data" << "/home" << "/share/shashin" << "/data/shashin/abm.dat" << "";
    QTest::newRow("only an album beside, a relative data home")
        << QStringList{"txt/abm.dat"} << true << "rel" << "/home" << "/share/shashin"
        << "/home/.local/share/shashin/abm.dat" << "";
    QTest::newRow("installed, a relative home is none") << QStringList{} << true << "" << "rel" << "/share/shashin" << "" << "";
}

void TestLaunch::layoutRule()
{
    QFETCH(QStringList, beside);
    QFETCH(bool, txtWritable);
    QFETCH(QString, dataHome);
    QFETCH(QString, home);
    QFETCH(QString, dataDir);
    QFETCH(QString, albumPath);
    QFETCH(QString, startingFrom);
    QTemporaryDir prefix;
    const QDir root(prefix.path());
    for (const QString &file : beside + QStringList{QStringLiteral("../share/shashin/txt/name.dat")}) {
        QVERIFY(root.mkpath(QFileInfo(root.filePath(QStringLiteral("bin/") + file)).path()));
        QVERIFY(QFile(root.filePath(QStringLiteral("bin/") + file)).open(QIODevice::WriteOnly));
    }
    const auto inPrefix = [&root](const QString &path) { return path.startsWith(u'/') ? root.path() + path : path; };
    const auto writable = [&](const QString &folder) {
        return QDir(folder) == QDir(root.filePath(QStringLiteral("bin/txt"))) ? txtWritable : true;
    };
    const auto oldDataHome = setEnvironment("XDG_DATA_HOME", dataHome.isEmpty() ? std::nullopt : std::optional(QFile::encodeName(inPrefix(dataHome))));
    const auto oldHome = setEnvironment("HOME", QFile::encodeName(inPrefix(home)));
    const GameFolders folders = gameFolders(root.filePath(QStringLiteral("bin")), playerDataFolder(), writable);
    setEnvironment("XDG_DATA_HOME", oldDataHome);
    setEnvironment("HOME", oldHome);
    QCOMPARE(QDir::cleanPath(folders.dataDir), inPrefix(dataDir));
    QCOMPARE(QDir::cleanPath(folders.albumPath), inPrefix(albumPath));
    QCOMPARE(QDir::cleanPath(folders.startingAlbumPath), inPrefix(startingFrom));
}

void TestLaunch::onlyThePlayerTalksToTheGame_data()
{
    QTest::addColumn<int>("runtimeMode");  // of XDG_RUNTIME_DIR; 0: unset
    QTest::addColumn<int>("ownMode");      // of shashin-<uid> in the temporary folder, made first; 0: not made
    QTest::addColumn<QString>("socketIn"); // "runtime", "own", or empty: no socket at all
    QTest::newRow("the runtime folder") << 0700 << 0 << "runtime";
    QTest::newRow("a runtime folder others can enter") << 0755 << 0 << "own";
    QTest::newRow("no runtime folder") << 0 << 0 << "own";
    QTest::newRow("a folder of its own that others can write") << 0 << 0777 << "";
}

// Whoever could put a socket where the game looks for it could answer in its place.
void TestLaunch::onlyThePlayerTalksToTheGame()
{
    QFETCH(int, runtimeMode);
    QFETCH(int, ownMode);
    QFETCH(QString, socketIn);
    QTemporaryDir dir;
    const QString runtime = dir.filePath(QStringLiteral("runtime"));
    const QString own = dir.filePath(QStringLiteral("tmp/shashin-%1").arg(geteuid()));
    QVERIFY(QDir().mkpath(runtime) && QDir().mkpath(own) && QDir().mkpath(dir.filePath(QStringLiteral("album"))));
    QVERIFY(::chmod(QFile::encodeName(runtime).constData(), mode_t(runtimeMode)) == 0);
    if (ownMode != 0)
        QVERIFY(::chmod(QFile::encodeName(own).constData(), mode_t(ownMode)) == 0);
    else
        QVERIFY(QDir().rmdir(own));
    const auto oldRuntime = setEnvironment("XDG_RUNTIME_DIR", runtimeMode != 0 ? std::optional(QFile::encodeName(runtime)) : std::nullopt);
    const auto oldTemp = setEnvironment("TMPDIR", QFile::encodeName(dir.filePath(QStringLiteral("tmp"))));
    AlbumLock lock(dir.filePath(QStringLiteral("album/abm.dat")));
    const AlbumLock::State state = lock.lock();
    setEnvironment("XDG_RUNTIME_DIR", oldRuntime);
    setEnvironment("TMPDIR", oldTemp);
    QCOMPARE(state, AlbumLock::Held);
    const QString folder = socketIn == QLatin1String("runtime") ? runtime : socketIn == QLatin1String("own") ? own : QString();
    QCOMPARE(lock.serverName().isEmpty() ? QString() : QFileInfo(lock.serverName()).path(), folder);
    struct stat made = {};
    if (socketIn == QLatin1String("own"))
        QVERIFY(::stat(QFile::encodeName(own).constData(), &made) == 0 && (made.st_mode & 077) == 0);
}

namespace {

bool quitSignalHandled(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return line.mid(7).trimmed().toULongLong(nullptr, 16) & (1ULL << (SIGTERM - 1));
    }
    return false;
}

} // namespace

void TestLaunch::endingsThatAreNotThePlayers_data()
{
    QTest::addColumn<QString>("what");    // at start-up: a box that waits for a player who is not there
    QTest::addColumn<int>("signal");      // 0: the display goes away
    QTest::addColumn<int>("sizeLimit");   // bytes a file may grow to; -1: none
    QTest::addColumn<int>("status");
    QTest::newRow("the album cannot be read: SIGTERM") << "fifo" << int(SIGTERM) << -1 << 1;
    QTest::newRow("the names cannot be read: SIGHUP") << "names" << int(SIGHUP) << -1 << 1;
    QTest::newRow("another game has the album: SIGINT") << "held" << int(SIGINT) << -1 << 0;
    QTest::newRow("the album's folder cannot be locked: SIGTERM") << "unlockable" << int(SIGTERM) << -1 << 1;
    QTest::newRow("playing, SIGTERM: saved") << "" << int(SIGTERM) << -1 << 0;
    QTest::newRow("playing, SIGHUP: a save that fails") << "" << int(SIGHUP) << 200 << 1;
    QTest::newRow("playing, the X server goes away") << "" << 0 << -1 << 1;
}

// The game ends at once, with no box waiting for an answer, and whether it saved
// or not, the album is as it was (an album it never loaded is never saved over).
void TestLaunch::endingsThatAreNotThePlayers()
{
    QFETCH(QString, what);
    QFETCH(int, signal);
    QFETCH(int, sizeLimit);
    QFETCH(int, status);
    GameCopy copy;
    const QString txt = copy.path(QStringLiteral("txt"));
    QFile album(copy.albumPath());
    if (what == u"fifo")
        QCOMPARE(mkfifo(QFile::encodeName(copy.albumPath()).constData(), 0644), 0);
    else
        QVERIFY(album.open(QIODevice::WriteOnly) && album.write(albumBytes(30)) > 0 && album.flush());
    if (what == u"names")
        QVERIFY(QFile(copy.path(QStringLiteral("txt/name.dat"))).resize(10));
    const int holder = what == u"held" ? ::open(QFile::encodeName(txt).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (holder >= 0)
        QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const QStringList before = folderEntries(txt);
    // A folder that can be entered and written but not opened: as another user
    // where the suite runs as root, for whom nothing is refused.
    const bool asOther = what == u"unlockable" && geteuid() == 0;
    if (what == u"unlockable") {
        QVERIFY(QFile::setPermissions(txt, QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ExeGroup
                                               | QFileDevice::ExeOther));
        QVERIFY(!asOther || QFile::setPermissions(copy.path(QStringLiteral(".")), QFileDevice::Permissions(0x7555)));
        QVERIFY(!asOther || ::chown(QFile::encodeName(txt).constData(), 65534, 65534) == 0);
    }
    std::unique_ptr<XServer> server;
    QProcessEnvironment environment;
    if (signal == 0) {
        if (!missingProgram({QStringLiteral("Xvfb")}).isEmpty())
            QSKIP("Xvfb is not installed");
        server = std::make_unique<XServer>();
        QVERIFY2(!server->display().isEmpty(), "Xvfb did not come up");
        environment.insert(QStringLiteral("DISPLAY"), server->display());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    }
    const auto game = copy.start(environment, [sizeLimit, asOther] {
        const rlimit limit{rlim_t(sizeLimit), rlim_t(sizeLimit)};
        if ((sizeLimit >= 0 && setrlimit(RLIMIT_FSIZE, &limit) != 0)
            || (asOther && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)))
            _exit(98);
    });
    if (what.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(copy.albumLocked(), 20000);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(quitSignalHandled(game->processId()), 20000);
        QTest::qWait(500);  // the box is up by now; were it not, the signal would wait for it
    }
    if (signal == 0) {
        server->process().kill();
        QVERIFY(server->process().waitForFinished());
    }
    QCOMPARE(endedWith(*game, signal), status);
    if (holder >= 0)
        ::close(holder);
    QVERIFY(QFile::setPermissions(txt, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QCOMPARE(folderEntries(txt), before);
    const QString said = QString::fromLocal8Bit(game->readAllStandardError());
    if (what.isEmpty() && signal != 0)
        QVERIFY2(status != 0 ? said.contains(copy.albumPath() + QStringLiteral(" に永遠アルバムを保存できませんでした"))
                             : !said.contains(QStringLiteral("shashin.album")),
                 qPrintable(said));
}

namespace {

// A PipeWire of the test's own, with its own runtime folder and D-Bus; with a
// session manager (WirePlumber) and a null sink for streams to play into, or
// without one, as when WirePlumber is not up yet or has crashed: then nothing
// a client asks for is ever answered.
class PipeWire
{
public:
    // `driver`: SDL's own PipeWire backend, "pulseaudio" through PipeWire's pulse
    // server, or none: the game's own choice, with the pulse server there too.
    // `described`: the sink has the description every real one has, without which
    // SDL's PipeWire backend does not list it.
    PipeWire(bool sessionManager, const QString &driver, bool described = true)
        : m_sessionManager(sessionManager), m_driver(driver), m_described(described) {}

    QProcessEnvironment clients() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + m_runtime.filePath(QStringLiteral("bus")));
        environment.insert(QStringLiteral("SDL_AUDIODRIVER"), m_driver);  // empty: as if unset
        environment.remove(QStringLiteral("PULSE_SERVER"));
        return environment;
    }

    bool start()
    {
        const QString log = m_runtime.filePath(QStringLiteral("log"));
        if (!m_bus.process)
            m_bus.process = startProgram(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--address=unix:path=") + m_runtime.filePath(QStringLiteral("bus"))}, clients(), QProcess::SeparateChannels, log);
        m_server.process = startProgram(QStringLiteral("pipewire"), {}, clients(), QProcess::SeparateChannels, log);
        if (!QTest::qWaitFor([this] { return QFile::exists(m_runtime.filePath(QStringLiteral("pipewire-0"))); }, 5000))
            return false;
        if (!m_sessionManager)
            return true;
        m_manager.process = startProgram(QStringLiteral("wireplumber"), {}, clients(), QProcess::SeparateChannels, log);
        const auto sink = startProgram(QStringLiteral("pw-cli"), {QStringLiteral("create-node"), QStringLiteral("adapter"), QStringLiteral("{ factory.name=support.null-audio-sink node.name=shashin-test %1 media.class=Audio/Sink object.linger=true audio.position=[FL FR] }").arg(m_described ? QStringLiteral("node.description=shashin-test") : QString())}, clients(), QProcess::SeparateChannels, log);
        if (m_driver != u"pipewire")
            m_pulse.process = startProgram(QStringLiteral("pipewire-pulse"), {}, clients(), QProcess::SeparateChannels, log);
        return sink->waitForFinished(5000) && sink->exitCode() == 0
            && (!m_pulse.process || QTest::qWaitFor([this] { return QFile::exists(m_runtime.filePath(QStringLiteral("pulse/native"))); }, 5000));
    }

    // As when the server crashes and the desktop starts it again.
    void stop()
    {
        for (Stopping *stopping : {&m_pulse, &m_manager, &m_server}) {
            if (stopping->process) {
                stopping->process->kill();
                stopping->process->waitForFinished();
            }
            stopping->process.reset();
        }
        // It leaves its socket behind, which the next one replaces.
        for (const char *socket : {"pipewire-0", "pulse/native"})
            QFile::remove(m_runtime.filePath(QLatin1String(socket)));
    }

    // The properties of the first stream that plays, as PipeWire has them.
    QJsonObject playingStream() const
    {
        const auto dump = startProgram(QStringLiteral("pw-dump"), {}, clients(), QProcess::SeparateChannels);
        dump->waitForFinished(5000);
        for (const QJsonValue &object : QJsonDocument::fromJson(dump->readAllStandardOutput()).array()) {
            const QJsonObject info = object[QStringLiteral("info")].toObject();
            const QJsonObject props = info[QStringLiteral("props")].toObject();
            if (props[QStringLiteral("media.class")].toString() == u"Stream/Output/Audio"
                && info[QStringLiteral("state")].toString() == u"running")
                return props;
        }
        return {};
    }

private:
    bool m_sessionManager;
    QString m_driver;
    bool m_described;
    QTemporaryDir m_runtime;  // 0700, as XDG_RUNTIME_DIR must be
    Stopping m_bus, m_server, m_manager, m_pulse;
};

} // namespace

void TestLaunch::soundServersNeverHoldTheGame_data()
{
    QTest::addColumn<bool>("sessionManager");
    QTest::addColumn<QString>("driver");
    QTest::addColumn<bool>("listed");
    QTest::newRow("no session manager: one SIGTERM ends the game") << false << "pipewire" << true;
    QTest::newRow("the server restarted: the music comes back") << true << "pipewire" << true;
    QTest::newRow("through the pulse server, restarted: the music comes back") << true << "pulseaudio" << true;
    QTest::newRow("the game's own choice: PipeWire's own backend, back after a restart") << true << "" << true;
    QTest::newRow("the game's own choice, no output listed: the pulse server") << true << "" << false;
}

void TestLaunch::soundServersNeverHoldTheGame()
{
    QFETCH(bool, sessionManager);
    QFETCH(QString, driver);
    if (const QString missing = missingProgram({QStringLiteral("pipewire"), QStringLiteral("wireplumber"), QStringLiteral("pw-cli"), QStringLiteral("pw-dump"), QStringLiteral("dbus-daemon"), driver == u"pipewire" ? QStringLiteral("pipewire") : QStringLiteral("pipewire-pulse")}); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    QFETCH(bool, listed);
    PipeWire server(sessionManager, driver, listed);
    QVERIFY(server.start());
    GameCopy copy;
    // With its sound module, which the copy otherwise goes without.
    for (const QString &module : QDir(QStringLiteral(SHASHIN_BIN_DIR)).entryList({QStringLiteral("*.so")}, QDir::Files))
        QVERIFY(QFile::link(QStringLiteral(SHASHIN_BIN_DIR "/") + module, copy.path(module)));
    QProcessEnvironment environment = server.clients();
    // Under LeakSanitizer: SDL 2.26's PulseAudio hotplug thread never releases the
    // queries it had under way when its server went; the game's leaks still count.
    QVERIFY(ignoreLeaksOf(environment, copy.path(QString()), "libpulse.so"));
    const auto game = copy.start(environment);
    QTRY_VERIFY_WITH_TIMEOUT(copy.albumLocked(), 20000);
    if (!sessionManager) {
        QTest::qWait(2000);  // the sound is on its way after the first frame, and never comes
        QElapsedTimer ending;
        ending.start();
        QCOMPARE(endedWith(*game, SIGTERM, 5000), 0);
        QVERIFY2(ending.elapsed() < 1000, qPrintable(QString::number(ending.elapsed())));
        QVERIFY(QFile::exists(copy.albumPath()));
        return;
    }
    // Named in the mixer as in the menu, with its icon and role.
    QTRY_VERIFY_WITH_TIMEOUT(!server.playingStream().isEmpty(), 20000);
    const QJsonObject stream = server.playingStream();
    QCOMPARE(stream[QStringLiteral("application.name")].toString(), QStringLiteral("写真"));
    QCOMPARE(stream[QStringLiteral("application.icon-name")].toString(), QStringLiteral(SHASHIN_APP_ID));
    QCOMPARE(stream[QStringLiteral("media.role")].toString(), QStringLiteral("Game"));
    QCOMPARE(stream[QStringLiteral("client.api")].toString() == u"pipewire-pulse", driver == u"pulseaudio" || !listed);
    server.stop();
    QVERIFY(server.start());
    QElapsedTimer back;
    back.start();
    QTRY_VERIFY_WITH_TIMEOUT(!server.playingStream().isEmpty(), 20000);
    QVERIFY2(back.elapsed() < 10000, qPrintable(QString::number(back.elapsed())));
    QCOMPARE(endedWith(*game, SIGTERM, 5000), 0);
}

QTEST_MAIN(TestLaunch)
#include "tst_launch.moc"
