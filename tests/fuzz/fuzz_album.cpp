#include "fuzzing.h"

#include "core/albumfile.h"
#include "platform/textfiles.h"

#include <QFile>

namespace {

bool load(const QString &path, QList<AlbumRow> &rows)
{
    TextFiles files;
    QString lineBuf;
    const int number = files.nextFree();
    fuzzing::check(files.openForReading(number, path), "the album opens");
    const bool whole = readAlbum(files, number, lineBuf, rows);
    files.close(number);
    return whole;
}

void save(const QString &path, const QList<AlbumRow> &rows)
{
    TextFiles files;
    const int number = files.nextFree();
    fuzzing::check(files.openForWriting(number, path) && writeAlbum(files, number, rows) && files.close(number),
                   "the album saves");
}

// The bytes with every line ended by CR LF, as a save writes them.
QByteArray withCrLf(QByteArray bytes)
{
    bytes.replace("\r\n", "\n").replace('\r', '\n');
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes += '\n';
    return bytes.replace("\n", "\r\n");
}

} // namespace

// Any album file, loaded and saved as the game does: an album that loaded whole
// is saved byte for byte as it was (line ends aside), and whatever was dropped,
// one save gives a file that loads whole to the same rows.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString first = fuzzing::writeInput(QStringLiteral("abm.dat"), data, size);
    const QString second = fuzzing::folder() + QStringLiteral("/again.dat");

    QList<AlbumRow> rows;
    const bool whole = load(first, rows);
    save(second, rows);
    QList<AlbumRow> reloaded;
    fuzzing::check(load(second, reloaded), "a saved album loads whole");
    fuzzing::check(reloaded == rows, "the rows come back");
    QFile saved(second);
    fuzzing::check(!whole || (saved.open(QIODevice::ReadOnly) && saved.readAll() == withCrLf(fuzzing::bytes(data, size))),
                   "a whole album is saved as it was");
    return 0;
}
