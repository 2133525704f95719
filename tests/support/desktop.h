#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

// The desktops the game is started on by the process-level suites: programs the
// test starts and always stops, and an X server of the test's own.

// Starts a program; what it prints goes to `log` if one is named (so that a
// chatty server never fills a pipe that nobody reads).
std::unique_ptr<QProcess> startProgram(const QString &program, const QStringList &arguments,
                                       const QProcessEnvironment &environment,
                                       QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel,
                                       const QString &log = QString());

// "<program> is not installed" for the first of `programs` not on PATH, else empty.
QString missingProgram(const QStringList &programs);

// Stops a program the test started, and waits for it, whatever the test's
// outcome: with SIGTERM, so that a server takes its socket and lock files away.
struct Stopping
{
    std::unique_ptr<QProcess> process;
    ~Stopping();
};

// Under LeakSanitizer, a child's leaks from a system `library` do not count (the list goes into `folder`).
bool ignoreLeaksOf(QProcessEnvironment &environment, const QString &folder, const QByteArray &library);

QProcessEnvironment x11Environment(const QString &display, const QString &scale = QStringLiteral("1"));

// Runs an X tool on `display` and returns what it printed (its complaints are
// those of a window not yet there).
QString x11(const QString &display, const QString &tool, const QStringList &arguments);

// An Xvfb on a display it picks for itself; display() stays empty if it did not
// come up. Stopped with the object.
class XServer
{
public:
    explicit XServer(QSize screen = QSize(1280, 1024));
    QString display() const { return m_display; }
    QProcess &process() { return *m_server.process; }
    // Starts openbox and waits until it manages windows; empty then, else why not,
    // with what openbox said.
    QString startWindowManager();

private:
    Stopping m_server;
    Stopping m_manager;
    QString m_display;
};
