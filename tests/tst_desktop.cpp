#include "support/desktop.h"
#include "support/gamecopy.h"

#include <QDir>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtMath>

#include <cmath>
#include <csignal>
#include <memory>

// The game as a player starts it: the built executable on an X server with a
// window manager that frames the window only after it is shown, and under a
// Wayland compositor. A desktop whose programs are not installed is skipped.
namespace {

QString readLog(const QString &log)
{
    QFile file(log);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

int field(const QString &text, const QString &name)
{
    const QRegularExpression pattern(QRegularExpression::escape(name) + QStringLiteral(":\\s*(-?\\d+)"));
    return pattern.match(text).captured(1).toInt();
}

// The game window's outer rectangle, frame included; empty until it is framed.
QRect outerWindow(const QString &display)
{
    const QString info = x11(display, QStringLiteral("xwininfo"), {QStringLiteral("-name"), QStringLiteral("Form1")});
    const QString id = QRegularExpression(QStringLiteral("Window id: (0x[0-9a-f]+)")).match(info).captured(1);
    if (id.isEmpty())
        return {};
    const QString extents = x11(display, QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("_NET_FRAME_EXTENTS")});
    const QRegularExpressionMatch frame =
        QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)")).match(extents);
    if (!frame.hasMatch())
        return {};
    const int left = frame.captured(1).toInt(), right = frame.captured(2).toInt();
    const int top = frame.captured(3).toInt(), bottom = frame.captured(4).toInt();
    return QRect(field(info, QStringLiteral("Absolute upper-left X")) - left,
                 field(info, QStringLiteral("Absolute upper-left Y")) - top,
                 field(info, QStringLiteral("Width")) + left + right, field(info, QStringLiteral("Height")) + top + bottom);
}

// Within `slack` pixels on every edge.
bool near(const QRect &a, const QRect &b, int slack)
{
    return std::abs(a.left() - b.left()) <= slack && std::abs(a.top() - b.top()) <= slack
           && std::abs(a.right() - b.right()) <= slack && std::abs(a.bottom() - b.bottom()) <= slack;
}

// A screenshot of the compositor's whole output, or a null image.
QImage waylandScreenshot(const QProcessEnvironment &environment, const QString &folder)
{
    const QDir dir(folder);
    for (const QString &old : dir.entryList({QStringLiteral("*.png")}, QDir::Files))
        QFile::remove(dir.filePath(old));
    QProcess shooter;
    shooter.setProcessEnvironment(environment);
    shooter.setWorkingDirectory(folder);
    shooter.setProcessChannelMode(QProcess::MergedChannels);
    shooter.start(QStringLiteral("weston-screenshooter"), {});
    if (!shooter.waitForFinished(5000))
        shooter.kill();
    const QStringList shots = dir.entryList({QStringLiteral("*.png")}, QDir::Files);
    return shots.isEmpty() ? QImage() : QImage(dir.filePath(shots.first()));
}

// The game's window in a screenshot: the rows and columns that are mostly pure
// black (the compositor draws none), and how many white pixels of text it holds.
QRect blackWindow(const QImage &shot, int *whitePixels)
{
    const QImage image = shot.convertToFormat(QImage::Format_RGB32);
    QList<int> rows(image.height()), columns(image.width());
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0xffffff) == 0) {
                ++rows[y];
                ++columns[x];
            }
        }
    }
    const auto span = [](const QList<int> &counts, int least) {
        qsizetype first = 0, last = counts.size() - 1;
        while (first <= last && counts[first] < least)
            ++first;
        while (last >= first && counts[last] < least)
            --last;
        return std::pair<int, int>(int(first), int(last));
    };
    const auto [top, bottom] = span(rows, image.width() / 4);
    const auto [left, right] = span(columns, image.height() / 4);
    const QRect window(QPoint(left, top), QPoint(right, bottom));
    *whitePixels = 0;
    for (int y = window.top(); y <= window.bottom(); ++y)
        for (int x = window.left(); x <= window.right(); ++x)
            *whitePixels += (image.pixel(x, y) & 0xffffff) == 0xffffff;
    return window;
}

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void windowStartsAtFourFifthsFourThirdsAndCentred_data();
    void windowStartsAtFourFifthsFourThirdsAndCentred();
    void gameUnderWayland();
};

void TestDesktop::windowStartsAtFourFifthsFourThirdsAndCentred_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QString>("scale");
    QTest::addColumn<QRect>("outer");
    QTest::newRow("1024 x 768") << QSize(1024, 768) << "1" << QRect(103, 77, 819, 614);
    QTest::newRow("1280 x 1024") << QSize(1280, 1024) << "1" << QRect(94, 103, 1092, 819);
    QTest::newRow("3840 x 2160, 4K at 100 %") << QSize(3840, 2160) << "1" << QRect(768, 216, 2304, 1728);
    // The frame, noted in device pixels, counted at the scale.
    QTest::newRow("1920 x 1080 at 125 %") << QSize(1920, 1080) << "1.25" << QRect(384, 108, 1152, 864);
    QTest::newRow("1920 x 1080 at 150 %") << QSize(1920, 1080) << "1.5" << QRect(384, 108, 1152, 864);
    QTest::newRow("1920 x 1080 at 200 %") << QSize(1920, 1080) << "2" << QRect(384, 108, 1152, 864);
}

void TestDesktop::windowStartsAtFourFifthsFourThirdsAndCentred()
{
    QFETCH(QSize, screen);
    QFETCH(QString, scale);
    QFETCH(QRect, outer);
    const QString missing = missingProgram({QStringLiteral("Xvfb"), QStringLiteral("openbox"),
                                            QStringLiteral("xwininfo"), QStringLiteral("xprop")});
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    XServer server(screen);
    QVERIFY2(!server.display().isEmpty(), "Xvfb did not come up");
    const QString manager = server.startWindowManager();
    QVERIFY2(manager.isEmpty(), qPrintable(manager));
    const QString display = server.display();
    // A copy: a game left open from the build folder would take this one for a second game.
    const GameCopy copy;
    Stopping game{startProgram(copy.path(QStringLiteral("shashin")), {}, x11Environment(display, scale))};
    // Above a scale of 1 a logical pixel rounds either way, and the 4:3 width
    // follows the rounded height: an edge may be two logical pixels out.
    const int slack = scale == u"1" ? 0 : qCeil(2 * scale.toDouble());
    QTRY_VERIFY2_WITH_TIMEOUT(near(outerWindow(display), outer, slack), qPrintable(QDebug::toString(outerWindow(display))),
                              15000);
}

void TestDesktop::gameUnderWayland()
{
    // On an output of 1920 x 1080 logical pixels at weston's scale 2 (scale 1 is
    // the X server's): the window 8/10 of the screen's height and 4:3, its inside
    // that less Qt's own title bar and edges (30 and 3 logical pixels), in device pixels.
    const int scale = 2;
    const QSize inside = QSize(1152 - 6, 864 - 33) * scale;
    const QString missing = missingProgram({QStringLiteral("weston"), QStringLiteral("weston-screenshooter")});
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath)
                           + QStringLiteral("/platforms/libqwayland-generic.so")))
        QSKIP("Qt's Wayland platform (qt6-wayland) is not installed");
    QTemporaryDir runtime;  // made 0700, as a Wayland socket's folder must be
    QTemporaryDir work;
    QVERIFY(runtime.isValid() && work.isValid());
    const GameCopy copy;

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("shashin-test"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("1"));
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    // Mesa's software driver without a compiler of its own: llvmpipe keeps, on AMD
    // processors, the L3 caches' CPU masks in a global of swrast_dri.so, which EGL
    // unloads at exit, and LeakSanitizer then takes the block for a leak.
    environment.insert(QStringLiteral("LIBGL_ALWAYS_SOFTWARE"), QStringLiteral("1"));
    environment.insert(QStringLiteral("GALLIUM_DRIVER"), QStringLiteral("softpipe"));
    // Under LeakSanitizer: the system's Wayland library leaves some of its own at
    // exit; the game's leaks still count.
    QVERIFY(ignoreLeaksOf(environment, work.path(), "libwayland-client.so"));
    // --debug lets weston-screenshooter take pictures of the output.
    const QString westonLog = work.filePath(QStringLiteral("weston.log"));
    Stopping compositor{startProgram(QStringLiteral("weston"),
                              {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--use-pixman"),
                               QStringLiteral("--socket=shashin-test"), QStringLiteral("--width=1920"),
                               QStringLiteral("--height=1080"), QStringLiteral("--scale=%1").arg(scale),
                               QStringLiteral("--idle-time=0"), QStringLiteral("--debug")},
                              environment, QProcess::SeparateChannels, westonLog)};
    QTRY_VERIFY2_WITH_TIMEOUT(QFileInfo::exists(runtime.filePath(QStringLiteral("shashin-test")))
                                  || compositor.process->state() == QProcess::NotRunning,
                              "weston did not open its socket", 10000);
    QVERIFY2(compositor.process->state() == QProcess::Running, qPrintable(readLog(westonLog)));

    const QString gameLog = work.filePath(QStringLiteral("game.log"));
    Stopping game{startProgram(copy.path(QStringLiteral("shashin")), {}, environment, QProcess::SeparateChannels, gameLog)};
    // The opening: a black window of the start-up size with its white text.
    QRect window;
    int white = 0;
    const auto showsOpening = [&] {
        const QImage shot = waylandScreenshot(environment, work.path());
        if (shot.isNull())
            return false;
        window = blackWindow(shot, &white);
        return std::abs(window.width() - inside.width()) <= 3 && std::abs(window.height() - inside.height()) <= 3
               && white > 200;
    };
    QVERIFY2(QTest::qWaitFor(showsOpening, 60000),
             qPrintable(QStringLiteral("%1 x %2, %3 white; %4").arg(window.width()).arg(window.height()).arg(white)
                            .arg(readLog(gameLog))));

    // Ended as a desktop ends it, with a clean exit (what a signal saves is tst_launch's).
    QVERIFY2(endedWith(*game.process, SIGTERM, 10000) == 0, qPrintable(readLog(gameLog)));
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
