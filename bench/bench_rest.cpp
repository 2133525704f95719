// The game at rest against a bare Qt window, measured in one run.
//
//   bench_rest [runs] [seconds at rest]       (defaults: 5 runs, 10 s)
//
// Every figure is taken from outside the process, as a system monitor would see
// it, on children pinned to one core (unless SHASHIN_BENCH_UNPINNED is set, as
// players run it) and started in turn (game and window alternate which goes first):
//   start to first paint  fork() to the first paint of the story label (the game,
//                         with its music) or of the window's label (bare_window)
//   CPU at rest           time on the CPU of all the process's threads
//                         (/proc/<pid>/task/*/schedstat) over the seconds at rest,
//                         after 5 s to settle: the game on its opening page with
//                         the music, without bgm.mid, and with no audio device
//   wake-ups              times its threads went to sleep and woke, per second
//                         (voluntary context switches, /proc/<pid>/task/*/status)
//   peak memory           VmHWM at the end of the rest
//   cry latency           from the click on the picture to the first non-silent
//                         sample of the cry in a buffer handed to the audio device
// The start-up is timed by game_window, the game as main.cpp starts it (it links
// what the game links) reporting its own paint; the cry in a child of this
// program that builds the window the same way and watches its audio callback.
// The rest figures are those of build/bin/shashin itself, started from a scratch
// folder of links under a name of its own.
//
// The click: this child sends the press and release to the picture through Qt
// (no X round trip) and notes the time just before the release. What is heard
// first is noted by the mixer's own hooks: with the music playing, an effect on
// the cry's channel; when the device was resting, the post-mix hook on the
// whole output (it outlives the device's closing), silent until the cry.
// Either notes when a buffer holding the cry's first non-zero sample is mixed,
// plus that sample's place in the buffer.
//
// Needs a display: with DISPLAY unset it starts Xvfb (and openbox, when there) for
// the run. The audio driver is SDL's dummy one; "no audio device" asks SDL for a
// driver that does not exist.
//
// Then the same through a sound server, when pulseaudio and parecord are installed:
// a PulseAudio the bench starts for itself, playing into a null sink whose
// monitor parecord records, each piece stamped with when it came.
//   CPU, wake-ups         as above, the game at rest with its music
//   cry heard             from the click to the cry in the recording: the first
//                         sound without music, else the first sample louder than
//                         the music ever is, less the time the cry takes to get so loud
//   dropouts              runs of digital silence of 3 ms or more in the recording
//                         of the game's music from its first second on, with two
//                         busy loops on the two cores; and the same of pacat
//                         playing noise, for what the server does to any client
//   cries cut             the first half millisecond heard of a cry that opened the
//                         device, against the file: how much of its fade-in is gone
//   the stream            its name, icon and role, as `pactl list sink-inputs` has them
// With PipeWire, RTKit and polkit run on a system bus of the bench's own when
// installed (scripts/packages-bench; SHASHIN_BENCH_NO_RTKIT=1 leaves them out), as
// on a desktop: the game's children may raise their audio threads only through it.

#include "core/fom.h"
#include "platform/messagebox.h"
#include "platform/picturebox.h"
#include "platform/random.h"
#include "platform/sounddevice.h"
#include "screen/controls.h"
#include "sound/gameaudio.h"
#include "sound/musicsynth.h"

#include "firstpaint.h"
#include "support/desktop.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int kPinnedCore = 1;
constexpr double kSettleSeconds = 5;
constexpr int kStartsPerRun = 4;
constexpr int kCryChannel = 0;  // the game's one reserved channel
const char *const kCryKey = "05";

std::int64_t nowNs(clockid_t clock = CLOCK_MONOTONIC)
{
    timespec t{};
    clock_gettime(clock, &t);
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void sleepSeconds(double seconds)
{
    timespec t{};
    t.tv_sec = time_t(seconds);
    t.tv_nsec = long((seconds - double(t.tv_sec)) * 1e9);
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

// --- The children that watch themselves ----------------------------------------

// The game as main.cpp builds it, over the given data folder.
struct Game
{
    explicit Game(const QString &dataDir)
        : sound(makeGameAudioBackend(dataDir))  // its module is beside the data
        , window({dataDir, &random, &messages, &sound, {}, {}})
    {
    }

    ClockRandom random;
    QtMessageBoxes messages;
    SoundDevice sound;
    Fom window;
};

std::atomic<std::int64_t> cryHeardAt{0};
std::atomic_bool listeningToOutput{false};
int mixRate = 44100;
int mixChannels = 2;

// Notes when the first non-zero sample of `stream` is due to sound.
void noteFirstSound(const void *stream, int bytes)
{
    if (cryHeardAt.load() != 0)
        return;
    const auto *samples = static_cast<const std::int16_t *>(stream);
    for (int i = 0; i < bytes / 2; ++i) {
        if (samples[i] != 0) {
            const double offset = double(i / mixChannels) / mixRate;
            cryHeardAt = nowNs() + std::int64_t(offset * 1e9);
            return;
        }
    }
}

// On the cry's own channel, while the music plays: an effect, which the mixer
// drops when the cry ends.
void listenToCryChannel(int, void *stream, int bytes, void *)
{
    noteFirstSound(stream, bytes);
}

// On the whole output, when the device was resting: nothing else sounds then.
void listenToOutput(void *, Uint8 *stream, int bytes)
{
    if (listeningToOutput.load())
        noteFirstSound(stream, bytes);
}

void clickLeft(QWidget *widget)
{
    const QPointF centre(widget->width() / 2.0, widget->height() / 2.0);
    const QPointF global = widget->mapToGlobal(centre);
    QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// --cry: once the first page is up and the sound has come up and rested, clicks
// the picture `clicks` times and prints "cry <ms>" for each (or "cry none"
// without a device).
int runCryChild(int clicks, const QString &dataDir, int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QtMessageBoxes::title());
    Game game(dataDir);
    if (!game.window.Form_Load())
        return 1;
    game.messages.setParent(&game.window);
    bool pageUp = false;
    FirstPaint page(
        game.window.Lbl, [&game] { return game.window.Lbl->caption().startsWith(QStringLiteral("\r\n")); },
        [&pageUp](long long) { pageUp = true; });
    game.window.show();

    enum class Step { Page, Sound, Rest, Listen, Done } step = Step::Page;
    // SDL's device is the process's own: watched as the mixer sees it. It opens as
    // the sound comes up and stays open for a second at least.
    const auto deviceOpen = [] { return Mix_QuerySpec(nullptr, nullptr, nullptr) != 0; };
    std::int64_t waitUntil = 0;
    std::int64_t clickedAt = 0;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const std::int64_t now = nowNs();
        switch (step) {
        case Step::Page:
            if (pageUp) {
                step = Step::Sound;
                waitUntil = now + 20'000'000'000;
            }
            return;
        case Step::Sound:
            if (!deviceOpen() && now < waitUntil)
                return;
            if (!deviceOpen()) {
                std::printf("cry none\n");
                std::fflush(stdout);
                QCoreApplication::exit(0);
                return;
            }
            {
                Uint16 format = 0;
                Mix_QuerySpec(&mixRate, &format, &mixChannels);
            }
            Mix_SetPostMix(listenToOutput, nullptr);  // kept by the mixer when it closes
            // A creature on show, as an album view leaves it.
            game.window.NowBeast = QString::fromLatin1(kCryKey);
            game.window.BakSee->show();
            game.window.Pic->show();
            waitUntil = now + 3'000'000'000;
            step = Step::Rest;
            return;
        case Step::Rest:
            // The mixer's channels are gone while the device rests: not asked then.
            if (now < waitUntil || (deviceOpen() && Mix_Playing(kCryChannel)))
                return;
            cryHeardAt = 0;
            // Effects on a channel go when it stops; this one waits on an idle channel.
            if (deviceOpen())
                Mix_RegisterEffect(kCryChannel, listenToCryChannel, nullptr, nullptr);
            else
                listeningToOutput = true;
            clickedAt = nowNs();
            clickLeft(game.window.Pic);
            // For whoever listens to the sound server's output.
            std::printf("clicked %lld\n", static_cast<long long>(clickedAt));
            std::fflush(stdout);
            step = Step::Listen;
            return;
        case Step::Listen:
            if (cryHeardAt.load() == 0 && now - clickedAt < 2'000'000'000)
                return;
            listeningToOutput = false;
            if (cryHeardAt.load() == 0)
                std::printf("cry missed\n");
            else
                std::printf("cry %.3f\n", double(cryHeardAt.load() - clickedAt) / 1e6);
            std::fflush(stdout);
            if (--clicks == 0) {
                // A sound server drops what it has not played once the stream goes.
                QTimer::singleShot(1000, [] { QCoreApplication::exit(0); });
                step = Step::Done;
                return;
            }
            // Long enough for the cry to end and the sound to come to rest again.
            waitUntil = now + 4'000'000'000;
            step = Step::Rest;
            return;
        case Step::Done:
            return;
        }
    });
    poll.start(1);
    const int result = QApplication::exec();
    // The window is never closed: closing saves the album into the data folder.
    std::_Exit(result);
}

// --- Children, seen from outside ------------------------------------------------

struct Child
{
    pid_t pid = -1;
    int out = -1;
    std::int64_t startedAt = 0;
    std::string pending;
};

using Environment = std::map<std::string, std::string>;

// The game and the window run as a player runs them: pinned to one core for the
// rest figures, and never with root's right to raise their own priority, which
// SDL takes for its audio thread where it can (a desktop's sound servers get
// theirs from RTKit: they keep it).
enum class Run { Pinned, Unpinned, Service };

Child spawn(const std::vector<std::string> &command, const Environment &extra, Run run = Run::Pinned)
{
    std::vector<char *> argv;
    for (const std::string &word : command)
        argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char **e = environ; *e; ++e) {
        const std::string entry(*e);
        if (!extra.count(entry.substr(0, entry.find('='))))
            environment.push_back(entry);
    }
    for (const auto &[name, value] : extra)
        environment.push_back(name + "=" + value);
    std::vector<char *> envp;
    for (std::string &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return {};
    Child child;
    child.startedAt = nowNs();
    child.pid = fork();
    if (child.pid == 0) {
        cpu_set_t cores;
        CPU_ZERO(&cores);
        CPU_SET(kPinnedCore, &cores);
        if (run == Run::Pinned && !std::getenv("SHASHIN_BENCH_UNPINNED"))
            sched_setaffinity(0, sizeof cores, &cores);
        if (run != Run::Service)
            prctl(PR_CAPBSET_DROP, CAP_SYS_NICE, 0, 0, 0);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(fds[1], 1);
        dup2(null, 2);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(fds[1]);
    child.out = fds[0];
    return child;
}

// The next line the child writes, or nothing once `seconds` have passed.
std::optional<std::string> readLine(Child &child, double seconds)
{
    const std::int64_t deadline = nowNs() + std::int64_t(seconds * 1e9);
    for (;;) {
        if (const auto end = child.pending.find('\n'); end != std::string::npos) {
            std::string line = child.pending.substr(0, end);
            child.pending.erase(0, end + 1);
            return line;
        }
        const std::int64_t left = deadline - nowNs();
        if (left <= 0)
            return std::nullopt;
        pollfd p{child.out, POLLIN, 0};
        if (poll(&p, 1, int(left / 1000000) + 1) <= 0)
            continue;
        char buffer[256];
        const ssize_t got = read(child.out, buffer, sizeof buffer);
        if (got <= 0)
            return std::nullopt;
        child.pending.append(buffer, size_t(got));
    }
}

void stop(Child &child, int signal = SIGKILL)
{
    if (child.pid > 0) {
        kill(child.pid, signal);
        waitpid(child.pid, nullptr, 0);
    }
    if (child.out >= 0)
        close(child.out);
    child = {};
}

struct Tasks
{
    double cpuNs = 0;
    double wakeups = 0;
};

Tasks sampleTasks(pid_t pid)
{
    Tasks sum;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(task) + QStringLiteral("/schedstat"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        sum.cpuNs += file.readAll().simplified().split(' ').value(0).toDouble();
        // A wake-up is a sleep ended: the voluntary switches. Being pushed off
        // the core (a sound server's thread preempting the game's) is not one.
        QFile status(tasks.filePath(task) + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches:"))
                sum.wakeups += line.mid(line.indexOf(':') + 1).trimmed().toDouble();
    }
    return sum;
}

double peakMiB(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).simplified().split(' ').value(0).toDouble() / 1024;
    }
    return -1;
}

struct Rest
{
    double cpuPercent = -1;
    double wakeupsPerSecond = -1;
    double peakMiB = -1;
};

Rest measureRest(const std::vector<std::string> &command, const Environment &environment, double seconds)
{
    Child child = spawn(command, environment);
    Rest rest;
    sleepSeconds(kSettleSeconds);
    const Tasks before = sampleTasks(child.pid);
    const std::int64_t from = nowNs();
    sleepSeconds(seconds);
    const Tasks after = sampleTasks(child.pid);
    const double wall = double(nowNs() - from);
    const double peak = peakMiB(child.pid);
    if (waitpid(child.pid, nullptr, WNOHANG) == 0 && peak > 0) {
        rest.cpuPercent = 100 * (after.cpuNs - before.cpuNs) / wall;
        rest.wakeupsPerSecond = (after.wakeups - before.wakeups) / (wall / 1e9);
        rest.peakMiB = peak;
    }
    stop(child);
    return rest;
}

double startToPaint(const std::vector<std::string> &command, const Environment &environment)
{
    Child child = spawn(command, environment);
    double ms = -1;
    while (const auto line = readLine(child, 30)) {
        if (line->rfind("painted ", 0) == 0) {
            ms = double(std::stoll(line->substr(8)) - child.startedAt) / 1e6;
            break;
        }
    }
    stop(child);
    return ms;
}

std::vector<double> cryLatencies(const std::vector<std::string> &command, const Environment &environment)
{
    Child child = spawn(command, environment);
    std::vector<double> latencies;
    while (const auto line = readLine(child, 30)) {
        if (line->rfind("cry ", 0) != 0)
            continue;
        const std::string value = line->substr(4);
        if (value == "none")
            break;
        latencies.push_back(value == "missed" ? -1 : std::stod(value));
    }
    stop(child);
    return latencies;
}

// CPU per second of music when the whole piece is rendered offline with the
// game's synthesizer settings, as the game does once.
double offlineSynthesisPercent(const QString &music)
{
    constexpr int rate = 22050;  // the game's device
    auto synth = MusicSynth::create(gameSoundFont(), rate);
    QFile file(music);
    if (!synth || !file.open(QIODevice::ReadOnly) || !synth->open(file.readAll()))
        return -1;
    RenderedMusic rendered;
    const std::int64_t cpuFrom = nowNs(CLOCK_THREAD_CPUTIME_ID);
    if (!synth->renderWhole(rendered))
        return -1;
    const double cpu = double(nowNs(CLOCK_THREAD_CPUTIME_ID) - cpuFrom);
    return 100 * cpu / (double(rendered.pieceFrames) / rate * 1e9);
}

// --- Where the children run -----------------------------------------------------

// A folder of the game's for the rest runs: the executable linked or copied (it
// finds its data and its sound module beside itself) under a name of its own, so
// that nothing aimed at a running "shashin" touches it, and the rest linked,
// bgm.mid only with `music`.
const char *const kRestingGame = "shashin-resting";

bool makeGameFolder(const QString &gameDir, const QString &folder, bool music)
{
    QDir(folder).mkpath(QStringLiteral("bgm"));
    const QString exe = folder + u'/' + QLatin1String(kRestingGame);
    if (link(QFile::encodeName(gameDir + QStringLiteral("/shashin")).constData(), QFile::encodeName(exe).constData()) != 0
        && !QFile::copy(gameDir + QStringLiteral("/shashin"), exe))
        return false;
    // The data and the sound module, wherever it is: all but the executable and bgm/.
    for (const QString &name : QDir(gameDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        if (name != u"shashin" && name != u"bgm")
            QFile::link(gameDir + u'/' + name, folder + u'/' + name);
    }
    const QDir bgm(gameDir + QStringLiteral("/bgm"));
    for (const QString &name : bgm.entryList(QDir::Files)) {
        if (music || name != u"bgm.mid")
            QFile::link(bgm.filePath(name), folder + QStringLiteral("/bgm/") + name);
    }
    return true;
}

// --- Through a sound server -----------------------------------------------------

// A sound server of our own, with nothing but its sockets in a scratch runtime
// folder, playing into a null sink whose monitor parecord records: a PulseAudio
// when one is installed, else PipeWire as a desktop runs it (its own D-Bus,
// WirePlumber, and pipewire-pulse for PulseAudio's clients). Debian 12 will not
// install pipewire-pulse beside pulseaudio, so the bench takes what is there.
const char *const kSink = "shashin_bench";

bool waitForFile(const std::string &path)
{
    for (int tries = 0; tries < 100 && !QFileInfo::exists(QString::fromStdString(path)); ++tries)
        sleepSeconds(0.1);
    return QFileInfo::exists(QString::fromStdString(path));
}

std::string program(const char *name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name)).toStdString();
}

struct SoundServer
{
    QTemporaryDir runtime;  // 0700, as XDG_RUNTIME_DIR must be
    QTemporaryDir systemBusDir;
    std::vector<Child> servers;  // stopped the other way round
    Environment clients;  // through the PulseAudio protocol, besides the display
    Environment native;  // SDL's own PipeWire backend; empty with a PulseAudio
    std::string description;

    ~SoundServer()
    {
        for (auto server = servers.rbegin(); server != servers.rend(); ++server)
            stop(*server, SIGTERM);
    }

    bool start(const Environment &base)
    {
        if (program("parecord").empty() || program("pactl").empty() || !runtime.isValid())
            return false;
        const std::string dir = runtime.path().toStdString();
        const std::string socket = dir + "/pulse/native";
        clients = base;
        clients["SDL_AUDIODRIVER"] = "pulseaudio";
        clients["PULSE_SERVER"] = "unix:" + socket;
        if (const std::string pulseaudio = program("pulseaudio"); !pulseaudio.empty()) {
            // At its default 44.1 kHz it resamples the game's 22.05 kHz as a desktop's does.
            servers.push_back(spawn({pulseaudio, "--daemonize=no", "--exit-idle-time=-1", "-n", "-L",
                                     std::string("module-null-sink sink_name=") + kSink, "-L",
                                     "module-native-protocol-unix auth-anonymous=1"},
                                    {{"XDG_RUNTIME_DIR", dir}, {"HOME", dir}}, Run::Service));
            description = "a PulseAudio of the bench's own (null sink at 44.1 kHz)";
            return waitForFile(socket);
        }
        for (const char *needed : {"dbus-daemon", "pipewire", "wireplumber", "pipewire-pulse"}) {
            if (program(needed).empty())
                return false;
        }
        const Environment session{{"XDG_RUNTIME_DIR", dir}, {"HOME", dir},
                                  {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir + "/bus"}};
        servers.push_back(
            spawn({program("dbus-daemon"), "--session", "--nofork", "--address=unix:path=" + dir + "/bus"}, session, Run::Service));
        if (!waitForFile(dir + "/bus"))
            return false;
        servers.push_back(spawn({program("pipewire")}, session, Run::Service));
        if (!waitForFile(dir + "/pipewire-0"))
            return false;
        servers.push_back(spawn({program("wireplumber")}, session, Run::Service));
        servers.push_back(spawn({program("pipewire-pulse")}, session, Run::Service));
        if (!waitForFile(socket))
            return false;
        Child sink = spawn({program("pactl"), "load-module", "module-null-sink", std::string("sink_name=") + kSink}, clients,
                           Run::Service);
        readLine(sink, 5);
        stop(sink);
        Child fallback = spawn({program("pactl"), "set-default-sink", kSink}, clients, Run::Service);
        readLine(fallback, 2);
        stop(fallback);
        native = base;
        for (const auto &[name, value] : session)
            native[name] = value;
        native["SDL_AUDIODRIVER"] = "pipewire";
        description = "PipeWire of the bench's own with WirePlumber and pipewire-pulse (null sink at 48 kHz)";
        if (const std::string systemBus = startRealtimeKit(dir); !systemBus.empty()) {
            clients["DBUS_SYSTEM_BUS_ADDRESS"] = native["DBUS_SYSTEM_BUS_ADDRESS"] = systemBus;
            description += ", and RTKit";
        } else {
            description += ", no RTKit";
        }
        return true;
    }

    // RTKit with polkit on a system bus of the bench's own, as desktops run them:
    // the only way a game without privileges has its audio threads raised. Its
    // address, or nothing when they are not installed or SHASHIN_BENCH_NO_RTKIT is set.
    std::string startRealtimeKit(const std::string &dir)
    {
        const char *const rtkit = "/usr/libexec/rtkit-daemon";
        const char *const polkit = "/usr/lib/polkit-1/polkitd";
        if (std::getenv("SHASHIN_BENCH_NO_RTKIT") || !QFileInfo::exists(QLatin1String(rtkit))
            || !QFileInfo::exists(QLatin1String(polkit)) || program("dbus-send").empty())
            return {};
        // polkitd and rtkit-daemon drop to users of their own, who must reach the socket.
        if (!systemBusDir.isValid()
            || !QFile::setPermissions(systemBusDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                               | QFile::ReadOther | QFile::ExeOther))
            return {};
        const std::string socket = systemBusDir.path().toStdString() + "/system_bus_socket";
        const std::string address = "unix:path=" + socket;
        QFile config(QString::fromStdString(dir + "/system-bus.conf"));
        if (!config.open(QIODevice::WriteOnly))
            return {};
        config.write(("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                      " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                      "<busconfig><type>system</type><listen>" + address + "</listen><auth>EXTERNAL</auth>"
                      "<policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/>"
                      "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/></policy></busconfig>\n").c_str());
        config.close();
        const Environment bus{{"DBUS_SYSTEM_BUS_ADDRESS", address}};
        servers.push_back(spawn({program("dbus-daemon"), "--config-file=" + config.fileName().toStdString(), "--nofork",
                                 "--nopidfile"},
                                bus, Run::Service));
        if (!waitForFile(socket))
            return {};
        servers.push_back(spawn({polkit, "--no-debug"}, bus, Run::Service));
        servers.push_back(spawn({rtkit}, bus, Run::Service));
        // Up once both answer.
        const auto answers = [&](const char *service, const char *path, const char *interface, const char *property,
                                 const char *type) {
            Child ask = spawn({program("dbus-send"), "--bus=" + address, "--print-reply", std::string("--dest=") + service,
                               path, "org.freedesktop.DBus.Properties.Get", std::string("string:") + interface,
                               std::string("string:") + property},
                              bus, Run::Service);
            bool answered = false;
            while (const auto line = readLine(ask, 2))
                answered = answered || line->find(type) != std::string::npos;
            stop(ask);
            return answered;
        };
        for (int tries = 0; tries < 50; ++tries) {
            if (answers("org.freedesktop.RealtimeKit1", "/org/freedesktop/RealtimeKit1", "org.freedesktop.RealtimeKit1",
                        "MinNiceLevel", "int32")
                && answers("org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority",
                           "org.freedesktop.PolicyKit1.Authority", "BackendName", "string"))
                return address;
            sleepSeconds(0.1);
        }
        return {};
    }

    // What `pactl list sink-inputs` says of the streams' names, icons and roles.
    std::vector<std::string> streamProperties() const
    {
        Child pactl = spawn({QStandardPaths::findExecutable(QStringLiteral("pactl")).toStdString(), "list",
                             "sink-inputs"},
                            clients, Run::Service);
        std::vector<std::string> properties;
        while (const auto line = readLine(pactl, 5)) {
            for (const char *key : {"application.name =", "application.icon_name =", "media.role ="}) {
                if (const auto at = line->find(key); at != std::string::npos)
                    properties.push_back(line->substr(at));
            }
        }
        stop(pactl);
        return properties;
    }
};

// The null sink's monitor as parecord hands it over, each piece stamped with when
// it came: a sample's time is its piece's less what follows it in the piece.
struct Recording
{
    static constexpr int kRate = 44100;
    Child recorder;
    std::vector<std::int16_t> samples;  // interleaved stereo
    std::vector<std::pair<std::size_t, std::int64_t>> arrivals;  // frames recorded by then, when

    enum class Times { Fine, AsADesktop };

    bool start(const Environment &clients, Times times)
    {
        // The recorder's latency sets PipeWire's quantum for every stream. Cries are
        // timed at 5 ms. Music is recorded as a desktop's own streams run it, asking
        // for nothing: at 5 ms PipeWire under load misses whole quanta of every
        // client, pacat's noise as the game's music (SHASHIN_BENCH_RECORDER_MSEC=5
        // shows it).
        const char *asked = std::getenv("SHASHIN_BENCH_RECORDER_MSEC");
        const int latency = times == Times::Fine ? 5 : asked ? std::atoi(asked) : 0;
        std::vector<std::string> command{QStandardPaths::findExecutable(QStringLiteral("parecord")).toStdString(),
                                         std::string("--device=") + kSink + ".monitor", "--raw", "--format=s16le",
                                         "--rate=" + std::to_string(kRate), "--channels=2"};
        if (latency > 0)
            command.push_back("--latency-msec=" + std::to_string(latency));
        recorder = spawn(command, clients, Run::Service);
        // Recording once the first piece is in.
        const std::int64_t deadline = nowNs() + 5'000'000'000;
        while (frames() == 0 && nowNs() < deadline)
            take(0.05);
        return frames() > 0;
    }
    ~Recording() { stop(recorder); }

    std::size_t frames() const { return samples.size() / 2; }

    // Reads what comes within `seconds`; with `child`, also its lines, handed to
    // `onLine` as they come.
    void take(double seconds, Child *child = nullptr, const std::function<void(const std::string &)> &onLine = {})
    {
        const std::int64_t deadline = nowNs() + std::int64_t(seconds * 1e9);
        do {
            pollfd p[2] = {{recorder.out, POLLIN, 0}, {child ? child->out : -1, POLLIN, 0}};
            const std::int64_t left = std::max<std::int64_t>(0, deadline - nowNs());
            if (poll(p, child ? 2 : 1, int(left / 1000000)) <= 0)
                continue;
            if (p[0].revents & (POLLIN | POLLHUP)) {
                char buffer[16384];
                const ssize_t got = read(recorder.out, buffer, sizeof buffer);
                const std::int64_t at = nowNs();
                if (got <= 0)
                    return;  // parecord has gone
                pending.append(buffer, size_t(got));
                const size_t whole = pending.size() / 4 * 4;
                const auto *frame = reinterpret_cast<const std::int16_t *>(pending.data());
                samples.insert(samples.end(), frame, frame + whole / 2);
                pending.erase(0, whole);
                arrivals.emplace_back(frames(), at);
            }
            if (child && (p[1].revents & (POLLIN | POLLHUP))) {
                char buffer[256];
                const ssize_t got = read(child->out, buffer, sizeof buffer);
                if (got <= 0)
                    return;
                child->pending.append(buffer, size_t(got));
                for (auto end = child->pending.find('\n'); end != std::string::npos; end = child->pending.find('\n')) {
                    onLine(child->pending.substr(0, end));
                    child->pending.erase(0, end + 1);
                }
            }
        } while (nowNs() < deadline);
    }

    std::int64_t timeOf(std::size_t frame) const
    {
        const auto piece = std::upper_bound(arrivals.begin(), arrivals.end(), frame,
                                            [](std::size_t f, const auto &arrival) { return f < arrival.first; });
        if (piece == arrivals.end())
            return arrivals.back().second;
        return piece->second - std::int64_t(double(piece->first - frame) / kRate * 1e9);
    }
    std::int64_t frameAt(std::int64_t time) const
    {
        const auto piece = std::lower_bound(arrivals.begin(), arrivals.end(), time,
                                            [](const auto &arrival, std::int64_t t) { return arrival.second < t; });
        if (piece == arrivals.end())
            return std::int64_t(frames());
        return std::max<std::int64_t>(0, std::int64_t(piece->first) - std::int64_t(double(piece->second - time) * kRate / 1e9));
    }
    int level(std::size_t frame) const
    {
        return std::max(std::abs(int(samples[2 * frame])), std::abs(int(samples[2 * frame + 1])));
    }

    std::string pending;
};

// Runs of digital silence of 3 ms or more from the music's first second on.
struct Dropouts
{
    int count = 0;
    double longestMs = 0;
    double musicSeconds = 0;
};

Dropouts dropoutsIn(const Recording &recording)
{
    Dropouts found;
    const std::size_t frames = recording.frames();
    std::size_t first = 0;
    while (first < frames && recording.level(first) == 0)
        ++first;
    const std::size_t from = first + Recording::kRate;
    if (from >= frames)
        return found;
    found.musicSeconds = double(frames - from) / Recording::kRate;
    std::size_t run = 0;
    for (std::size_t frame = from; frame < frames; ++frame) {
        if (recording.level(frame) == 0) {
            ++run;
            continue;
        }
        const double ms = 1000.0 * double(run) / Recording::kRate;
        if (ms >= 3) {
            ++found.count;
            found.longestMs = std::max(found.longestMs, ms);
        }
        run = 0;
    }
    return found;
}

// The cry the children click, as the file has it: its first channel, from its
// first sound on.
std::vector<int> cryLevels(const QString &wav, int *rate)
{
    QFile file(wav);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    int channels = 1;
    std::vector<int> levels;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const qsizetype size = qFromLittleEndian<quint32>(bytes.constData() + at + 4);
        if (id == "fmt ") {
            channels = std::max(1, int(qFromLittleEndian<quint16>(bytes.constData() + at + 10)));
            *rate = int(qFromLittleEndian<quint32>(bytes.constData() + at + 12));
        }
        if (id == "data") {
            for (qsizetype i = at + 8; i + 2 <= std::min(bytes.size(), at + 8 + size); i += 2 * channels)
                levels.push_back(std::abs(int(qFromLittleEndian<qint16>(bytes.constData() + i))));
            break;
        }
        at += 8 + size + (size & 1);
    }
    const auto sound = std::find_if(levels.begin(), levels.end(), [](int level) { return level != 0; });
    levels.erase(levels.begin(), sound);
    return levels;
}

struct Heard
{
    double latencyMs = -1;
    double lostMs = -1;  // of the cry's start; only where nothing else sounds
};

// When the output first reaches `threshold` after the click, less the time the cry
// itself takes to get there. With a threshold of one step nothing else may sound,
// and then the first half millisecond heard tells how much of the start is gone.
Heard heardAfter(const Recording &recording, std::int64_t clickedAt, int threshold, const std::vector<int> &cry,
                 int cryRate)
{
    Heard heard;
    const auto reached = std::find_if(cry.begin(), cry.end(), [threshold](int level) { return level >= threshold; });
    if (reached == cry.end())
        return heard;
    const double cryTakesMs = 1000.0 * double(reached - cry.begin()) / cryRate;
    for (std::size_t frame = std::size_t(recording.frameAt(clickedAt)); frame < recording.frames(); ++frame) {
        if (recording.level(frame) < threshold)
            continue;
        heard.latencyMs = double(recording.timeOf(frame) - clickedAt) / 1e6 - cryTakesMs;
        if (threshold > 1)
            return heard;
        int peak = 0;
        for (std::size_t i = frame; i < std::min(recording.frames(), frame + Recording::kRate / 2000); ++i)
            peak = std::max(peak, recording.level(i));
        std::size_t at = 0;
        while (at < cry.size() && cry[at] < peak)
            ++at;
        heard.lostMs = std::max(0.0, 1000.0 * double(at) / cryRate - 0.5);
        return heard;
    }
    return heard;
}

// The cry child run against the server while the output is recorded.
std::vector<Heard> cryHeard(const std::vector<std::string> &command, const SoundServer &server,
                            const Environment &gameEnvironment, int threshold, const std::vector<int> &cry, int cryRate)
{
    Recording recording;
    if (!recording.start(server.clients, Recording::Times::Fine))
        return {};
    Child child = spawn(command, gameEnvironment);
    std::vector<std::int64_t> clicks;
    bool done = false;
    const std::int64_t deadline = nowNs() + 60'000'000'000;
    while (!done && nowNs() < deadline) {
        recording.take(0.1, &child, [&](const std::string &line) {
            if (line.rfind("clicked ", 0) == 0)
                clicks.push_back(std::stoll(line.substr(8)));
            done = done || line == "cry none" || (clicks.size() == 3 && line.rfind("cry ", 0) == 0);
        });
    }
    recording.take(0.5);  // the last cry's start
    stop(child);
    std::vector<Heard> heard;
    for (std::int64_t clickedAt : clicks)
        heard.push_back(heardAfter(recording, clickedAt, threshold, cry, cryRate));
    return heard;
}

// The game playing its music with both cores busy: what was recorded, and how the
// server lists its stream.
Dropouts musicUnderLoad(const std::vector<std::string> &player, const SoundServer &server,
                        const Environment &gameEnvironment, double seconds, std::vector<std::string> *properties)
{
    Recording recording;
    if (!recording.start(server.clients, Recording::Times::AsADesktop))
        return {};
    std::vector<pid_t> busy;
    for (int core = 0; core < 2; ++core) {
        const pid_t pid = fork();
        if (pid == 0) {
            volatile bool spinning = true;
            while (spinning) {
            }
            _exit(0);
        }
        busy.push_back(pid);
    }
    Child child = spawn(player, gameEnvironment, Run::Unpinned);
    recording.take(seconds);
    if (properties && properties->empty())
        *properties = server.streamProperties();
    recording.take(0.2);
    stop(recording.recorder);  // before the game, whose end is silence
    stop(child);
    for (pid_t pid : busy) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return dropoutsIn(recording);
}

// --- The table --------------------------------------------------------------------

struct Figures
{
    std::vector<double> values;
    void add(double value)
    {
        if (value >= 0)
            values.push_back(value);
    }
    void add(const std::vector<double> &more)
    {
        for (double value : more)
            add(value);
    }
    bool empty() const { return values.empty(); }
    double median() const
    {
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    double min() const { return *std::min_element(values.begin(), values.end()); }
    double max() const { return *std::max_element(values.begin(), values.end()); }
};

// Dropouts over the runs: how many in how much music, and the longest.
struct DropoutTally
{
    int count = 0;
    double seconds = 0;
    std::vector<int> perRun;
    Figures longest;
    void add(const Dropouts &found)
    {
        count += found.count;
        seconds += found.musicSeconds;
        perRun.push_back(found.count);
        longest.add(found.longestMs);
    }
    void print(const char *what) const
    {
        std::printf("%-34s %d in %.0f s with two busy loops, from its first second on (by run:", what, count, seconds);
        for (int each : perRun)
            std::printf(" %d", each);
        std::printf("; longest %.1f ms)\n", longest.empty() ? 0.0 : longest.max());
    }
};

std::string cell(const Figures &f, const char *unit, int decimals)
{
    if (f.empty())
        return "-";
    char text[96];
    std::snprintf(text, sizeof text, "%.*f %s (%.*f–%.*f)", decimals, f.median(), unit, decimals, f.min(), decimals,
                  f.max());
    return text;
}

enum class Compare { Ratio, Difference, None };

void row(const char *what, const Figures &game, const Figures &bare, const char *unit, int decimals, Compare compare)
{
    std::string relation;
    if (!game.empty() && !bare.empty() && compare != Compare::None) {
        char text[64];
        const double difference = game.median() - bare.median();
        if (compare == Compare::Ratio && bare.median() > 0)
            std::snprintf(text, sizeof text, "%.2f× (%+.*f %s)", game.median() / bare.median(), decimals, difference, unit);
        else
            std::snprintf(text, sizeof text, "%+.*f %s", decimals, difference, unit);
        relation = text;
    }
    std::printf("%-34s %-30s %-30s %s\n", what, cell(game, unit, decimals).c_str(),
                compare == Compare::None ? "" : cell(bare, unit, decimals).c_str(), relation.c_str());
}

std::string loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return "?";
    const QList<QByteArray> words = file.readAll().split(' ');
    return (words.value(0) + ' ' + words.value(1) + ' ' + words.value(2)).toStdString();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc >= 3 && std::strcmp(argv[1], "--cry") == 0)
        return runCryChild(3, QString::fromLocal8Bit(argv[2]), argc, argv);

    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const double seconds = argc > 2 ? std::max(1.0, std::atof(argv[2])) : 10;
    const QString benchDir = QCoreApplication::applicationDirPath();
    const QString gameDir = QDir(benchDir + QStringLiteral("/../bin")).absolutePath();
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    const std::string bare = (benchDir + QStringLiteral("/bare_window")).toStdString();
    const std::string gameWindow = (benchDir + QStringLiteral("/game_window")).toStdString();
    if (!QFileInfo::exists(gameDir + QStringLiteral("/bgm/bgm.mid")) || !QFileInfo::exists(QString::fromStdString(bare))
        || !QFileInfo::exists(QString::fromStdString(gameWindow))) {
        std::fprintf(stderr, "build the game, bare_window and game_window first\n");
        return 1;
    }
    if (sysconf(_SC_NPROCESSORS_ONLN) <= kPinnedCore) {
        std::fprintf(stderr, "needs at least %d cores\n", kPinnedCore + 1);
        return 1;
    }
    // A display of our own when there is none: Xvfb, with openbox if installed.
    std::string displayName = qEnvironmentVariable("DISPLAY").toStdString();
    std::string stage = "the display " + displayName;
    std::optional<XServer> xvfb;
    if (displayName.empty()) {
        xvfb.emplace();
        displayName = xvfb->display().toStdString();
        if (displayName.empty()) {
            std::fprintf(stderr, "no DISPLAY and no Xvfb to start (apt-get install xvfb openbox)\n");
            return 1;
        }
        const QString managerSaid = xvfb->startWindowManager();
        stage = "Xvfb " + displayName + " 1280x1024"
                + (managerSaid.isEmpty() ? std::string(" with openbox") : ", no window manager (" + managerSaid.toStdString() + ")");
    }
    QTemporaryDir scratch(benchDir + QStringLiteral("/rest-XXXXXX"));
    const QString musicDir = scratch.path() + QStringLiteral("/music");
    const QString silentDir = scratch.path() + QStringLiteral("/no-music");
    if (!scratch.isValid() || !makeGameFolder(gameDir, musicDir, true) || !makeGameFolder(gameDir, silentDir, false)) {
        std::fprintf(stderr, "cannot prepare %s\n", qPrintable(scratch.path()));
        return 1;
    }
    const std::string game = (musicDir + u'/' + QLatin1String(kRestingGame)).toStdString();
    const std::string silentGame = (silentDir + u'/' + QLatin1String(kRestingGame)).toStdString();

    const Environment sound{{"DISPLAY", displayName}, {"SDL_AUDIODRIVER", "dummy"}};
    const Environment noDevice{{"DISPLAY", displayName}, {"SDL_AUDIODRIVER", "no-such-driver"}};
    SoundServer server;
    const bool withServer = server.start({{"DISPLAY", displayName}});
    int cryRate = 22050;
    const std::vector<int> cry = cryLevels(gameDir + QStringLiteral("/bgm/%1.wav").arg(QLatin1String(kCryKey)), &cryRate);
    const std::string load = loadAverage();
    std::fprintf(stderr, "%d runs of about %.0f s each\n", runs,
                 4 * (kSettleSeconds + seconds) + 25 + (withServer ? kSettleSeconds + 4 * seconds + 40 : 0));
    // Once each untimed, so that no run pays for cold caches.
    startToPaint({bare}, sound);
    startToPaint({gameWindow, gameDir.toStdString()}, sound);

    Figures startGame, startBare;
    Figures cpuMusic, cpuSilent, cpuNoDevice, cpuBare;
    Figures wakeMusic, wakeSilent, wakeNoDevice, wakeBare;
    Figures memMusic, memSilent, memNoDevice, memBare;
    Figures crySilent, cryMusic, floor;
    Figures cpuServer, wakeServer, memServer, heardSilent, heardMusic, heardNative;
    Figures cpuNative, wakeNative, memNative;
    int criesChecked = 0, criesCut = 0;
    DropoutTally dropouts, nativeDropouts, plainClientDropouts;
    double mostLost = 0;
    std::vector<std::string> streamProperties;
    for (int run = 0; run < runs; ++run) {
        std::fprintf(stderr, "run %d/%d\n", run + 1, runs);
        // Starts are quick and vary the most: several each run, in turn.
        for (int turn = 0; turn < 2 * kStartsPerRun; ++turn) {
            if (turn % 2 == run % 2)
                startBare.add(startToPaint({bare}, sound));
            else
                startGame.add(startToPaint({gameWindow, gameDir.toStdString()}, sound));
        }
        auto restOf = [&](Figures &cpu, Figures &wake, Figures &mem, const std::vector<std::string> &command,
                          const Environment &environment) {
            const Rest rest = measureRest(command, environment, seconds);
            cpu.add(rest.cpuPercent);
            wake.add(rest.wakeupsPerSecond);
            mem.add(rest.peakMiB);
        };
        for (int turn = 0; turn < 4; ++turn) {
            switch ((turn + run) % 4) {
            case 0: restOf(cpuBare, wakeBare, memBare, {bare}, sound); break;
            case 1: restOf(cpuMusic, wakeMusic, memMusic, {game}, sound); break;
            case 2: restOf(cpuSilent, wakeSilent, memSilent, {silentGame}, sound); break;
            case 3: restOf(cpuNoDevice, wakeNoDevice, memNoDevice, {game}, noDevice); break;
            }
        }
        crySilent.add(cryLatencies({self, "--cry", silentDir.toStdString()}, sound));
        cryMusic.add(cryLatencies({self, "--cry", gameDir.toStdString()}, sound));
        floor.add(offlineSynthesisPercent(gameDir + QStringLiteral("/bgm/bgm.mid")));
        if (!withServer)
            continue;
        restOf(cpuServer, wakeServer, memServer, {game}, server.clients);
        dropouts.add(musicUnderLoad({game}, server, server.clients, 3 * seconds, &streamProperties));
        // What the server does to any client under the same load: noise played as the music is.
        plainClientDropouts.add(musicUnderLoad({program("pacat"), "--raw", "--format=s16le", "--rate=22050", "--channels=2",
                                                "--latency-msec=70", "/dev/urandom"},
                                               server, server.clients, 3 * seconds, nullptr));
        if (!server.native.empty()) {
            restOf(cpuNative, wakeNative, memNative, {game}, server.native);
            nativeDropouts.add(musicUnderLoad({game}, server, server.native, 3 * seconds, nullptr));
        }
        // The music peaks far under the cry: with it playing, the cry is heard once the output passes it.
        for (const Heard &heard : cryHeard({self, "--cry", silentDir.toStdString()}, server, server.clients, 1, cry, cryRate)) {
            heardSilent.add(heard.latencyMs);
            if (heard.lostMs >= 0) {
                ++criesChecked;
                criesCut += heard.lostMs >= 0.5 ? 1 : 0;
                mostLost = std::max(mostLost, heard.lostMs);
            }
        }
        for (const Heard &heard : cryHeard({self, "--cry", gameDir.toStdString()}, server, server.clients, 16000, cry, cryRate))
            heardMusic.add(heard.latencyMs);
        if (!server.native.empty()) {
            for (const Heard &heard : cryHeard({self, "--cry", gameDir.toStdString()}, server, server.native, 16000, cry, cryRate))
                heardNative.add(heard.latencyMs);
        }
    }

    std::printf("shashin at rest against a bare Qt window: %d runs (starts: %d), %.0f s at rest after %.0f s, "
                "medians (min–max)\n",
                runs, runs * kStartsPerRun, seconds, kSettleSeconds);
    std::printf("%ld cores, load average %s before and %s after; children %s\n", sysconf(_SC_NPROCESSORS_ONLN),
                load.c_str(), loadAverage().c_str(),
                std::getenv("SHASHIN_BENCH_UNPINNED") ? "unpinned" : ("pinned to core " + std::to_string(kPinnedCore)).c_str());
    std::printf("%s; audio: SDL dummy driver\n\n", stage.c_str());
    std::printf("%-34s %-30s %-30s %s\n", "", "game", "bare window", "game / bare");
    row("start to first paint", startGame, startBare, "ms", 1, Compare::Ratio);
    row("CPU at rest, music", cpuMusic, cpuBare, "%", 3, Compare::Ratio);
    row("CPU at rest, no bgm.mid", cpuSilent, cpuBare, "%", 3, Compare::Ratio);
    row("CPU at rest, no audio device", cpuNoDevice, cpuBare, "%", 3, Compare::Ratio);
    row("wake-ups at rest, music", wakeMusic, wakeBare, "/s", 0, Compare::Ratio);
    row("wake-ups at rest, no bgm.mid", wakeSilent, wakeBare, "/s", 0, Compare::Ratio);
    row("wake-ups at rest, no audio device", wakeNoDevice, wakeBare, "/s", 0, Compare::Ratio);
    row("peak memory, music", memMusic, memBare, "MiB", 1, Compare::Difference);
    row("peak memory, no bgm.mid", memSilent, memBare, "MiB", 1, Compare::Difference);
    row("peak memory, no audio device", memNoDevice, memBare, "MiB", 1, Compare::Difference);
    row("cry latency, no bgm.mid", crySilent, {}, "ms", 1, Compare::None);
    row("cry latency, music", cryMusic, {}, "ms", 1, Compare::None);
    row("offline synthesis of bgm.mid", floor, {}, "%", 3, Compare::None);

    if (!withServer) {
        std::printf("\nno sound server measured: scripts/install-deps scripts/packages-bench, or install pulseaudio and pulseaudio-utils\n");
        return 0;
    }
    std::printf("\nthrough %s, its monitor recorded by parecord; load average %s\n\n", server.description.c_str(),
                loadAverage().c_str());
    std::printf("%-34s %-30s %-30s %s\n", "", "PulseAudio protocol", "dummy driver", "server / dummy");
    row("CPU at rest, music", cpuServer, cpuMusic, "%", 3, Compare::Ratio);
    row("wake-ups at rest, music", wakeServer, wakeMusic, "/s", 0, Compare::Ratio);
    row("peak memory, music", memServer, memMusic, "MiB", 1, Compare::Difference);
    if (!server.native.empty()) {
        row("CPU at rest, music, PipeWire's own", cpuNative, cpuMusic, "%", 3, Compare::Ratio);
        row("wake-ups, music, PipeWire's own", wakeNative, wakeMusic, "/s", 0, Compare::Ratio);
        nativeDropouts.print("dropouts ≥ 3 ms, PipeWire's own");
        row("cry heard, music, PipeWire's own", heardNative, cryMusic, "ms", 1, Compare::Difference);
    }
    row("cry heard, no bgm.mid", heardSilent, crySilent, "ms", 1, Compare::Difference);
    row("cry heard, music", heardMusic, cryMusic, "ms", 1, Compare::Difference);
    dropouts.print("dropouts of 3 ms or more");
    plainClientDropouts.print("dropouts, pacat playing noise");
    std::printf("%-34s %d of %d that opened the device (most lost %.1f ms)\n", "cries cut at their start", criesCut,
                criesChecked, mostLost);
    std::printf("%-34s", "the stream, as pactl lists it");
    for (const std::string &property : streamProperties)
        std::printf(" %s;", property.c_str());
    std::printf("\n");
    return 0;
}
