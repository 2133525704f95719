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
