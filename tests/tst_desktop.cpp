#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <memory>

// The game as a player starts it: the built executable on an X server with a
// window manager that frames the window only after it is shown. Skipped where
// Xvfb, openbox or the X utilities are not installed.
namespace {

std::unique_ptr<QProcess> start(const QString &program, const QStringList &arguments, const QString &display,
                                QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(channels);
    process->start(program, arguments);
    return process;
}

// Runs an X tool on `display` and returns what it printed (its complaints are
// those of a window not yet there).
QString x11(const QString &display, const QString &tool, const QStringList &arguments)
{
    const auto process = start(tool, arguments, display, QProcess::SeparateChannels);
    process->waitForFinished(5000);
    return QString::fromLocal8Bit(process->readAllStandardOutput());
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

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void windowStartsAtFourFifthsFourThirdsAndCentred_data();
    void windowStartsAtFourFifthsFourThirdsAndCentred();
};

void TestDesktop::windowStartsAtFourFifthsFourThirdsAndCentred_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QRect>("outer");
    QTest::newRow("1024 x 768") << QSize(1024, 768) << QRect(103, 77, 819, 614);
    QTest::newRow("1280 x 1024") << QSize(1280, 1024) << QRect(94, 103, 1092, 819);
    QTest::newRow("3840 x 2160, 4K at 100 %") << QSize(3840, 2160) << QRect(768, 216, 2304, 1728);
}

void TestDesktop::windowStartsAtFourFifthsFourThirdsAndCentred()
{
    QFETCH(QSize, screen);
    QFETCH(QRect, outer);
    for (const char *tool : {"Xvfb", "openbox", "xwininfo", "xprop"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QString::fromLatin1(tool))));
    }
    // Xvfb picks a free display and names it once it takes connections.
    const auto server = start(QStringLiteral("Xvfb"),
                              {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                               QStringLiteral("0"), QStringLiteral("%1x%2x24").arg(screen.width()).arg(screen.height()),
                               QStringLiteral("-nolisten"), QStringLiteral("tcp")},
                              QString());
    QTRY_VERIFY_WITH_TIMEOUT(server->canReadLine(), 10000);
    const QString display = u':' + QString::fromLatin1(server->readLine().trimmed());
    // Openbox manages windows once it has set out the work area. Now and then it
    // finds a display that has only just named itself not yet open: it is started
    // again then.
    std::unique_ptr<QProcess> manager;
    const auto managing = [&] {
        return x11(display, QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_WORKAREA")})
            .contains(u'=');
    };
    for (int attempt = 0; attempt < 5 && !managing(); ++attempt) {
        manager = start(QStringLiteral("openbox"), {}, display);
        static_cast<void>(QTest::qWaitFor([&] { return manager->state() == QProcess::NotRunning || managing(); }, 10000));
    }
    QVERIFY2(managing(), "openbox did not come up");
    const auto game = start(QStringLiteral(SHASHIN_BIN_DIR "/shashin"), {}, display);
    QTRY_COMPARE_WITH_TIMEOUT(outerWindow(display), outer, 15000);
    // Killed, not closed: the build folder's album is not the test's to save.
    game->kill();
    game->waitForFinished();
    for (QProcess *process : {manager.get(), server.get()}) {
        process->terminate();  // so that Xvfb takes its display's files away
        process->waitForFinished();
    }
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
