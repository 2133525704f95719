#pragma once

#include <QList>
#include <QString>

#include <optional>

class TextFiles;

// One line of the eternal album file: the name as shown, ",", the creature key.
struct AlbumRow
{
    QString name;
    QString key;

    friend bool operator==(const AlbumRow &, const AlbumRow &) = default;
};

// Fields after the second are dropped. A line without "," is no row at all: the
// caller skips it and goes on, so one damaged line cannot cost the rows after it.
std::optional<AlbumRow> parseAlbumLine(const QString &line);
QString albumLine(const AlbumRow &row);

// Reads the album's lines, each into `lineBuf`, from file number `number` of
// `files` (open for reading) to its end, and appends their rows to `rows`. True
// when the file holds nothing but rows, each of which a save writes back as it
// was read (line ends aside).
bool readAlbum(TextFiles &files, int number, QString &lineBuf, QList<AlbumRow> &rows);
// One line per row, on a number open for writing; false when a write fails.
bool writeAlbum(TextFiles &files, int number, const QList<AlbumRow> &rows);

// A key that may name files: exactly two digits. Keys come back from the album
// file as they were written there, and a file can be edited.
bool isCreatureKey(const QString &key);

// Keeps the album file read at start-up (`readFrom`, usually `albumPath` itself)
// as it is now, before a save at `albumPath` rewrites it without what could not be
// read: a copy "<album>.bak" beside the album, or "<album>.bak2", "<album>.bak3" …
// when an earlier copy holds something else. False when no copy could be made.
bool backUpAlbum(const QString &readFrom, const QString &albumPath);
