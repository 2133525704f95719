#pragma once

#include <QString>

#include <optional>

// One line of the eternal album file: the name as shown, ",", the creature key.
struct AlbumRow
{
    QString name;
    QString key;
};

// Fields after the second are dropped. A line without "," is no row at all: the
// caller skips it and goes on, so one damaged line cannot cost the rows after it.
std::optional<AlbumRow> parseAlbumLine(const QString &line);
QString albumLine(const AlbumRow &row);

// A key that may name files: exactly two digits. Keys come back from the album
// file as they were written there, and a file can be edited.
bool isCreatureKey(const QString &key);

// Keeps the album file as it is now, before a save rewrites it without what could
// not be read: a copy "<album>.bak" beside it, or "<album>.bak2", "<album>.bak3" …
// when an earlier copy holds something else. False when no copy could be made.
bool backUpAlbum(const QString &albumPath);
