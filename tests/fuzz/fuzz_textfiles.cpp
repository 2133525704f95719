#include "fuzzing.h"

#include "platform/textfiles.h"

#include <QStringList>

namespace {

QStringList readAll(TextFiles &files, const QString &path, QList<bool> *exact = nullptr)
{
    QStringList lines;
    const int number = files.nextFree();
    fuzzing::check(files.openForReading(number, path), "a file that exists opens");
    while (!files.atEnd(number)) {
        QString line;
        bool same = true;
        fuzzing::check(files.readLine(number, line, &same), "a line before the end reads");
        fuzzing::check(!line.contains(u'\r') && !line.contains(u'\n'), "no line holds a line end");
        lines << line;
        if (exact)
            exact->append(same);
    }
    files.close(number);
    return lines;
}

} // namespace

// Any bytes read as lines: the reads come to an end, no line holds a line end,
// and the lines written back read again as the same lines where their bytes
// were code page 932.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString in = fuzzing::writeInput(QStringLiteral("in"), data, size);
    const QString out = fuzzing::folder() + QStringLiteral("/out");

    TextFiles files;
    QList<bool> exact;
    const QStringList lines = readAll(files, in, &exact);
    fuzzing::check(lines.size() <= qsizetype(size), "at most a line a byte");

    const int number = files.nextFree();
    fuzzing::check(files.openForWriting(number, out), "a new file opens for writing");
    for (const QString &line : lines)
        fuzzing::check(files.writeLine(number, line), "a line writes");
    fuzzing::check(files.close(number), "the written file is committed");
    const QStringList again = readAll(files, out);
    fuzzing::check(again.size() == lines.size(), "as many lines come back");
    for (qsizetype i = 0; i < lines.size(); ++i)
        fuzzing::check(!exact[i] || again[i] == lines[i], "an exact line comes back the same");
    return 0;
}
