#include "core/gamefolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString playerDataFolder()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // A relative path is no data folder: it would put the album wherever the game
    // happened to be started.
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(dataHome))
        return QDir(dataHome).filePath(QStringLiteral("shashin"));
    const QString home = qEnvironmentVariable("HOME");
    if (!QDir::isAbsolutePath(home))
        return {};
    return QDir::cleanPath(home + QStringLiteral("/.local/share/shashin"));
#else
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
#endif
}

bool isWritableFolder(const QString &folder)
{
    // access(2) underneath: it knows about root and read-only mounts.
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

GameFolders gameFolders(const QString &exeDir, const QString &playerDir,
                        const std::function<bool(const QString &)> &writable)
{
    const QDir beside(exeDir);
    const QString playerAlbum = playerDir.isEmpty() ? QString() : QDir(playerDir).filePath(QStringLiteral("abm.dat"));
    if (QFileInfo(beside.filePath(QStringLiteral("txt/name.dat"))).isFile()) {
        const QString txt = beside.filePath(QStringLiteral("txt"));
        const QString album = txt + QStringLiteral("/abm.dat");
        if (writable(txt))
            return {beside.path(), album, {}};
        return {beside.path(), playerAlbum, album};
    }
    return {QDir::cleanPath(beside.filePath(QStringLiteral("../share/shashin"))), playerAlbum, {}};
}
