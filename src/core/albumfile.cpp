#include "core/albumfile.h"

#include "platform/regularfile.h"
#include "platform/textfiles.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr int kMaxBackups = 99;

QString backupPath(const QString &albumPath, int n)
{
    return albumPath + QStringLiteral(".bak") + (n > 1 ? QString::number(n) : QString());
}

} // namespace

std::optional<AlbumRow> parseAlbumLine(const QString &line)
{
    const qsizetype comma = line.indexOf(u',');
    if (comma < 0)
        return std::nullopt;
    const qsizetype next = line.indexOf(u',', comma + 1);
    return AlbumRow{line.left(comma), line.mid(comma + 1, next < 0 ? -1 : next - comma - 1)};
}

QString albumLine(const AlbumRow &row)
{
    return row.name + u',' + row.key;
}

bool readAlbum(TextFiles &files, int number, QString &lineBuf, QList<AlbumRow> &rows)
{
    bool whole = true;
    while (!files.atEnd(number)) {
        bool exact = true;
        if (!files.readLine(number, lineBuf, &exact))
            return false;
        const auto row = parseAlbumLine(lineBuf);
        if (row)
            rows.append(*row);
        whole = whole && exact && row && albumLine(*row) == lineBuf;
    }
    return whole;
}

bool writeAlbum(TextFiles &files, int number, const QList<AlbumRow> &rows)
{
    for (const AlbumRow &row : rows) {
        if (!files.writeLine(number, albumLine(row)))
            return false;
    }
    return true;
}

bool isCreatureKey(const QString &key)
{
    return key.size() == 2 && key[0] >= u'0' && key[0] <= u'9' && key[1] >= u'0' && key[1] <= u'9';
}

bool backUpAlbum(const QString &readFrom, const QString &albumPath)
{
    const FileRead album = readRegularFile(readFrom);
    if (!album.ok())
        return false;
    const QByteArray &bytes = album.bytes;
    QDir().mkpath(QFileInfo(albumPath).absolutePath());
    for (int n = 1; n <= kMaxBackups; ++n) {
        const QString backup = backupPath(albumPath, n);
        // Read as the album is: a FIFO or a device by that name is passed by, never waited on.
        const FileRead earlier = readRegularFile(backup);
        if (earlier.status == FileRead::Missing)
            return TextFiles::replaceFile(backup, bytes);
        if (earlier.ok() && earlier.bytes == bytes)
            return true;  // kept already
    }
    return false;
}
