// Time from process start to the first story page, with and without sound.
//
//   bench_startup [runs] [data folder]
//
// Starts itself once per run and mode as a child process and times, from the
// parent, the moment the child is started to the moment it reports that the first
// page of the opening story is on the label. Modes:
//   silent      SilentBackend
//   sound       the game's sound, brought up behind the window
//   sound-sync  the same device and soundfont opened before the window, for comparison
// The data folder defaults to the game's folder beside this build (../bin).
// Uses the offscreen platform unless a display is set; the audio driver is whatever
// SDL_AUDIODRIVER says (try SDL_AUDIODRIVER=dummy where there is no sound card).

#include "core/fom.h"
#include "platform/messagebox.h"
#include "platform/random.h"
#include "platform/sounddevice.h"
#include "screen/controls.h"
#include "sound/gameaudio.h"
#include "sound/sdlaudio.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

QElapsedTimer sinceMain;

int runChild(const QString &mode, const QString &dataDir, int argc, char *argv[])
{
    QApplication app(argc, argv);
    std::unique_ptr<AudioBackend> backend;
    AudioBackend *deferred = nullptr;
    if (mode == u"silent") {
        backend = std::make_unique<SilentBackend>();
    } else if (mode == u"sound") {
        backend = makeGameAudioBackend();
        deferred = backend.get();
    } else {
        backend = SdlAudioBackend::create(gameSoundFont());
        if (!backend)
            backend = std::make_unique<SilentBackend>();
    }
    ClockRandom random;
    QtMessageBoxes messages;
    SoundDevice sound(std::move(backend));
    Fom window({dataDir, &random, &messages, &sound, {}, {}});
    if (!window.Form_Load())
        return 1;
    window.show();

    qint64 pageAt = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (pageAt < 0 && !window.Lbl->caption().isEmpty()) {
            pageAt = sinceMain.elapsed();
            std::printf("page %lld\n", static_cast<long long>(pageAt));
            std::fflush(stdout);
        }
        // The music opened at start-up: with the device up the synthesizer plays it
        // to its end, with none it plays in silence until told; unknown until then.
        const auto steady = deferred ? deferred->musicSteadyFor() : AudioBackend::kUntilTold;
        if (pageAt >= 0 && steady != std::chrono::milliseconds::zero()) {
            if (deferred)
                std::printf("device %s %lld\n", steady != AudioBackend::kUntilTold ? "up" : "none",
                            static_cast<long long>(sinceMain.elapsed()));
            std::fflush(stdout);
            QCoreApplication::quit();
        }
    });
    poll.start(1);
    // The window is never closed: closing would save the album into the data folder.
    return QApplication::exec();
}

struct Run
{
    double page = -1;    // ms from start of the child process, seen by the parent
    double inside = -1;  // ms from the child's main(), as it says
    double device = -1;  // ms from its main() to the device being up (sound only)
};

Run runOnce(const QString &mode, const QString &dataDir)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), mode, dataDir});
    Run run;
    while (child.state() != QProcess::NotRunning || child.canReadLine()) {
        if (!child.canReadLine() && !child.waitForReadyRead(30000))
            break;
        while (child.canReadLine()) {
            const QList<QByteArray> words = child.readLine().trimmed().split(' ');
            if (words.value(0) == "page") {
                run.page = clock.nsecsElapsed() / 1e6;
                run.inside = words.value(1).toDouble();
            } else if (words.value(0) == "device" && words.value(1) == "up") {
                run.device = words.value(2).toDouble();
            }
        }
    }
    child.waitForFinished(30000);
    return run;
}

QString summary(QList<double> values)
{
    values.removeAll(-1);
    if (values.isEmpty())
        return QStringLiteral("      -");
    std::sort(values.begin(), values.end());
    return QStringLiteral("%1 ms (min %2, max %3)")
        .arg(values[values.size() / 2], 6, 'f', 1)
        .arg(values.first(), 0, 'f', 1)
        .arg(values.last(), 0, 'f', 1);
}

} // namespace

int main(int argc, char *argv[])
{
    sinceMain.start();
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc >= 4 && QByteArray(argv[1]) == "--child")
        return runChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), argc, argv);

    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 10;
    const QString dataDir = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                     : QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin")).absolutePath();
    if (!QFileInfo::exists(dataDir + QStringLiteral("/txt/name.dat"))) {
        std::fprintf(stderr, "no data set in %s\n", qPrintable(dataDir));
        return 1;
    }
    std::printf("data %s, audio driver %s, %d runs each (median)\n", qPrintable(dataDir),
                qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER") ? "default" : qgetenv("SDL_AUDIODRIVER").constData(), runs);
    for (const QString &mode : {QStringLiteral("silent"), QStringLiteral("sound"), QStringLiteral("sound-sync")}) {
        QList<double> page, inside, device;
        runOnce(mode, dataDir);  // warm the file cache
        for (int i = 0; i < runs; ++i) {
            const Run run = runOnce(mode, dataDir);
            page << run.page;
            inside << run.inside;
            device << run.device;
        }
        std::printf("%-10s  first page from process start %s\n", qPrintable(mode), qPrintable(summary(page)));
        std::printf("%-10s  first page from main()        %s\n", "", qPrintable(summary(inside)));
        if (mode == u"sound")
            std::printf("%-10s  device up from main()         %s\n", "", qPrintable(summary(device)));
    }
    return 0;
}
