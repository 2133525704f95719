#include "core/gamefolders.h"

#include <QDir>
#include <QFileInfo>

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
    const QString playerAlbum = QDir(playerDir).filePath(QStringLiteral("abm.dat"));
    if (QFileInfo(beside.filePath(QStringLiteral("txt/name.dat"))).isFile()) {
        const QString txt = beside.filePath(QStringLiteral("txt"));
        const QString album = txt + QStringLiteral("/abm.dat");
        if (writable(txt))
            return {beside.path(), album, {}};
        return {beside.path(), playerAlbum, album};
    }
    return {QDir::cleanPath(beside.filePath(QStringLiteral("../share/shashin"))), playerAlbum, {}};
}
