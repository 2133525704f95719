#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Reading the data set the build writes beside the game, and its sources.
namespace datafiles {

// A path under the built game's folder, or under content/.
QString binPath(const QString &relative);
QString sourcePath(const QString &relative);
// The whole file; empty when it cannot be read.
QByteArray readAll(const QString &path);
// The two-digit key of creature kind 0 to 29.
QString key(int creature);

// The file's lines, each of which must end with CR LF; empty, with `why` set,
// when it does not hold to that (a lone CR or LF, a last line without CR LF).
QList<QByteArray> crlfLines(const QByteArray &bytes, QString *why);
// The text of `bytes` read as code page 932; `ok` is false unless every byte
// decodes and the text encodes back to exactly the same bytes.
QString decodeExactly(const QByteArray &bytes, bool *ok);
// Each line decoded from code page 932 on its own.
QStringList decodeLines(const QList<QByteArray> &lines);
// A source's lines as written in content/ (UTF-8, LF).
QStringList sourceLines(const QString &relative);

} // namespace datafiles
