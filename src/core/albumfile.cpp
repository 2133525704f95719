#include "core/albumfile.h"

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
