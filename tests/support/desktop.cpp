#include "support/desktop.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QStandardPaths>
#include <QTest>

std::unique_ptr<QProcess> startProgram(const QString &program, const QStringList &arguments,
                                       const QProcessEnvironment &environment, QProcess::ProcessChannelMode channels,
                                       const QString &log)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(channels);
    if (!log.isEmpty()) {
        process->setStandardOutputFile(log, QIODevice::Append);
        process->setStandardErrorFile(log, QIODevice::Append);
    }
    process->start(program, arguments);
    return process;
}

QString missingProgram(const QStringList &programs)
{
    for (const QString &program : programs) {
        if (QStandardPaths::findExecutable(program).isEmpty())
            return program + QStringLiteral(" is not installed");
    }
    return {};
}

Stopping::~Stopping()
{
    if (!process || process->state() == QProcess::NotRunning)
        return;
    process->terminate();
    if (!process->waitForFinished(5000)) {
        process->kill();
        process->waitForFinished();
    }
}

QProcessEnvironment x11Environment(const QString &display, const QString &scale)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
    return environment;
}

QString x11(const QString &display, const QString &tool, const QStringList &arguments)
{
    const auto process = startProgram(tool, arguments, x11Environment(display), QProcess::SeparateChannels);
    process->waitForFinished(5000);
    return QString::fromLocal8Bit(process->readAllStandardOutput());
}

XServer::XServer(QSize screen)
{
    // Xvfb names the display it picked once it takes connections.
    m_server.process = startProgram(QStringLiteral("Xvfb"),
                                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                     QStringLiteral("0"),
                                     QStringLiteral("%1x%2x24").arg(screen.width()).arg(screen.height()),
                                     QStringLiteral("-nolisten"), QStringLiteral("tcp")},
                                    QProcessEnvironment::systemEnvironment());
    if (QTest::qWaitFor([this] { return m_server.process->canReadLine(); }, 10000))
        m_display = u':' + QString::fromLatin1(m_server.process->readLine().trimmed());
}

QString XServer::startWindowManager()
{
    // Openbox manages windows once it has set out the work area. Now and then it
    // finds a display that has only just named itself not yet open, and leaves:
    // it is started again then. A loaded machine may take long: it is waited on
    // for as long as it runs.
    const auto managing = [this] {
        return x11(m_display, QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_WORKAREA")})
            .contains(u'=');
    };
    QString said;
    const QDeadlineTimer deadline(120000);
    for (int attempt = 0; attempt < 5 && !managing() && !deadline.hasExpired(); ++attempt) {
        m_manager.process = startProgram(QStringLiteral("openbox"), {}, x11Environment(m_display), QProcess::MergedChannels);
        static_cast<void>(QTest::qWaitFor(
            [&] { return m_manager.process->state() == QProcess::NotRunning || managing(); },
            int(qMax<qint64>(deadline.remainingTime(), 1))));
        said += QString::fromLocal8Bit(m_manager.process->readAll());
    }
    return managing() ? QString() : QStringLiteral("openbox did not come up: ") + said;
}

bool ignoreLeaksOf(QProcessEnvironment &environment, const QString &folder, const QByteArray &library)
{
    QFile suppressions(QDir(folder).filePath(QStringLiteral("leaks.supp")));
    if (!suppressions.open(QIODevice::WriteOnly) || suppressions.write("leak:" + library + '\n') <= 0)
        return false;
    environment.insert(QStringLiteral("LSAN_OPTIONS"), QStringLiteral("suppressions=") + suppressions.fileName());
    return true;
}
