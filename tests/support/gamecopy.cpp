#include "support/gamecopy.h"

#include "platform/codepage.h"
#include "platform/textfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <csignal>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

GameCopy::GameCopy()
{
    const QDir built(QStringLiteral(SHASHIN_BIN_DIR));
    const QDir copy(m_dir.path());
    QVERIFY(QFile::copy(built.filePath(QStringLiteral("shashin")), copy.filePath(QStringLiteral("shashin"))));
    // The pictures and sounds are only read: the built ones serve.
    for (const char *folder : {"img", "bgm"})
        QVERIFY(QFile::link(built.filePath(QLatin1String(folder)), copy.filePath(QLatin1String(folder))));
    QVERIFY(copy.mkdir(QStringLiteral("txt")));
    for (const QString &name : QDir(built.filePath(QStringLiteral("txt"))).entryList({QStringLiteral("*.dat")})) {
        if (name != QLatin1String("abm.dat"))
            QVERIFY(QFile::copy(built.filePath(QStringLiteral("txt/") + name), copy.filePath(QStringLiteral("txt/") + name)));
    }
}

std::unique_ptr<QProcess> GameCopy::start(const QProcessEnvironment &extra, const std::function<void()> &beforeExec) const
{
    auto game = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    // Under the sanitizers, Qt's own allocations at exit are no concern of these tests.
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    environment.insert(extra);
    game->setProcessEnvironment(environment);
    game->setStandardInputFile(QProcess::nullDevice());
    if (beforeExec)
        game->setChildProcessModifier(beforeExec);
    game->start(path(QStringLiteral("shashin")), {});
    return game;
}

bool GameCopy::albumLocked() const
{
    struct stat folder = {};
    const QString real = QFileInfo(TextFiles::replacedPath(albumPath())).absolutePath();
    if (::stat(QFile::encodeName(real).constData(), &folder) != 0)
        return false;
    // "1: FLOCK  ADVISORY  WRITE 4242 08:01:1234 0 EOF": the device in hex, the inode in decimal.
    const QByteArray id = QByteArray::number(major(folder.st_dev), 16).rightJustified(2, '0') + ':'
                          + QByteArray::number(minor(folder.st_dev), 16).rightJustified(2, '0') + ':'
                          + QByteArray::number(quint64(folder.st_ino));
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 5 && fields[1] == "FLOCK" && fields[5] == id)
            return true;
    }
    return false;
}

QStringList folderEntries(const QString &folder)
{
    QStringList list;
    const auto filter = QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot;
    for (const QFileInfo &entry : QDir(folder).entryInfoList(filter)) {
        const bool regular = entry.isFile() && !entry.isSymLink();
        QFile file(entry.filePath());
        const bool small = regular && entry.size() <= 4096 && file.open(QIODevice::ReadOnly);
        list << QStringLiteral("%1 %2%3 %4 %5")
                    .arg(entry.fileName())
                    .arg(int(entry.isSymLink()))
                    .arg(int(regular))
                    .arg(entry.size())
                    .arg(QString::fromLatin1(small ? file.readAll().toHex() : QByteArray()));
    }
    return list;
}

QByteArray albumBytes(int rows, const QString &prefix)
{
    QString text;
    for (int i = 0; i < rows; ++i)
        text += QStringLiteral("%1%2,%3\r\n").arg(prefix).arg(i, 2, 10, QLatin1Char('0')).arg(i % 30, 2, 10, QLatin1Char('0'));
    return codepage::encode(text);
}

int inChild(const std::function<int()> &body, int waitMs)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(body());
    int status = 0;
    if (!QTest::qWaitFor([&] { return waitpid(child, &status, WNOHANG) == child; }, waitMs)) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

int endedWith(QProcess &game, int signal, int waitMs)
{
    if (signal != 0)
        ::kill(pid_t(game.processId()), signal);
    if (!game.waitForFinished(waitMs) || game.exitStatus() != QProcess::NormalExit)
        return -1;
    return game.exitCode();
}
