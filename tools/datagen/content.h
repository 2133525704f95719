#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The checks and conversions that turn the sources in content/ into the game's
// data set. Each kind of source has its own check; all of them report what is
// wrong by line, so the build can point at the very place to fix.
namespace datagen {

// One thing wrong with a source: at a line (1 and up), or with the whole file (0).
struct Issue
{
    int line = 0;
    QString message;
};
using Issues = QList<Issue>;

inline constexpr int kCreatureCount = 30;
inline constexpr int kMinStoryPages = 4;
inline constexpr int kMaxPageLines = 8;

// A text source cut into lines. Sources are UTF-8 with LF line ends (CR LF is
// taken too, and a leading byte order mark is dropped); the last line may lack
// its LF. Lines that are not UTF-8 or hold a stray CR are reported.
struct TextSource
{
    QStringList lines;
    Issues issues;
};
TextSource splitText(const QByteArray &utf8);

// Every character has a code page 932 form, so the game can read it back.
Issues checkCodePage(const QStringList &lines);

// The creatures' names: one a line, exactly kCreatureCount of them, line n
// naming the creature with key n - 1. A name is never empty and holds no ","
// (the game would cut it there).
Issues checkNames(const QStringList &lines);

// A story is pages of text. A page is one or more non-empty lines closed by an
// empty line, and the game shows a page only when more text follows its closing
// empty line; so a story ends with its last page, an empty line and one more
// line that is never shown. At least kMinStoryPages pages, none of them longer
// than kMaxPageLines lines.
Issues checkStory(const QStringList &lines);

// A creature's description, shown beside its picture: kMinDescriptionLines to
// kMaxDescriptionLines lines, none of them empty, each short enough for the
// box (at most kMaxDescriptionBytes bytes in code page 932, that is 22
// full-width characters).
inline constexpr int kMinDescriptionLines = 3;
inline constexpr int kMaxDescriptionLines = 6;
inline constexpr int kMaxDescriptionBytes = 44;
Issues checkDescription(const QStringList &lines);

// The lines in code page 932, each one closed by CR LF, the last one included.
// Only for lines that pass checkCodePage.
QByteArray encodeText(const QStringList &lines);

// Whether this build of Qt can write code page 932 at all.
bool codePageAvailable();

} // namespace datagen
