#include "content.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace datagen {

namespace {

constexpr const char kCodePage[] = "windows-31j";

// True when `text` goes into code page 932 and comes back unchanged. Qt marks
// characters without a form as errors; comparing the round trip also rejects
// the ones that would only come back as a look-alike.
bool encodes(const QString &text)
{
    QStringEncoder encoder(kCodePage);
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return false;
    QStringDecoder decoder(kCodePage);
    const QString back = decoder.decode(bytes);
    return !decoder.hasError() && back == text;
}

QString codePoint(char32_t c)
{
    return QLatin1String("U+") + QString::number(uint(c), 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

bool onlySpaces(const QString &line)
{
    return !line.isEmpty() && line.trimmed().isEmpty();
}

} // namespace

TextSource splitText(const QByteArray &utf8)
{
    TextSource source;
    QByteArray bytes = utf8;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (bytes.isEmpty())
        return source;

    QList<QByteArray> rawLines = bytes.split('\n');
    if (rawLines.last().isEmpty()) // the LF that ends the last line
        rawLines.removeLast();

    for (qsizetype i = 0; i < rawLines.size(); ++i) {
        QByteArray raw = rawLines.at(i);
        const int lineNumber = int(i) + 1;
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (raw.contains('\r'))
            source.issues.append({lineNumber, QStringLiteral("a carriage return inside the line; the game would cut the line there")});
        QStringDecoder decoder(QStringDecoder::Utf8);
        QString line = decoder.decode(raw);
        if (decoder.hasError())
            source.issues.append({lineNumber, QStringLiteral("not UTF-8 text; save the file as UTF-8")});
        source.lines.append(line);
    }
    return source;
}

Issues checkCodePage(const QStringList &lines)
{
    Issues issues;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (encodes(line))
            continue;
        // Find the characters to blame.
        int column = 0;
        for (const char32_t c : line.toUcs4()) {
            ++column;
            const QString character = QString::fromUcs4(&c, 1);
            if (!encodes(character)) {
                issues.append({int(i) + 1,
                               QStringLiteral("\"%1\" (%2), character %3 of the line, has no code page 932 form")
                                   .arg(character, codePoint(c))
                                   .arg(column)});
            }
        }
    }
    return issues;
}

Issues checkNames(const QStringList &lines)
{
    Issues issues;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &name = lines.at(i);
        const int lineNumber = int(i) + 1;
        if (name.isEmpty()) {
            issues.append({lineNumber, QStringLiteral("empty line; every line names one creature")});
            continue;
        }
        if (name.contains(QLatin1Char(',')))
            issues.append({lineNumber, QStringLiteral("\"%1\" contains \",\", where the game would cut the name").arg(name)});
        if (name.trimmed() != name)
            issues.append({lineNumber, QStringLiteral("\"%1\" begins or ends with spaces").arg(name)});
    }
    if (lines.size() != kCreatureCount) {
        const int lineNumber = lines.size() > kCreatureCount ? kCreatureCount + 1 : qMax(1, int(lines.size()));
        issues.append({lineNumber,
                       QStringLiteral("%1 lines; there are exactly %2 creatures, one name a line, keys 00 to %3 in order")
                           .arg(lines.size())
                           .arg(kCreatureCount)
                           .arg(kCreatureCount - 1)});
    }
    return issues;
}

Issues checkStory(const QStringList &lines)
{
    Issues issues;
    const int count = int(lines.size());

    int pages = 0;
    int pageLines = 0;
    for (int i = 0; i < count; ++i) {
        const QString &line = lines.at(i);
        const int lineNumber = i + 1;
        if (onlySpaces(line)) {
            issues.append({lineNumber, QStringLiteral("a line of nothing but spaces; leave it truly empty to close the page")});
        }
        if (!line.isEmpty()) {
            if (++pageLines == kMaxPageLines + 1)
                issues.append({lineNumber, QStringLiteral("the page runs past %1 lines").arg(kMaxPageLines)});
            continue;
        }
        if (pageLines == 0) {
            issues.append({lineNumber, QStringLiteral("an empty line with no page before it; pages are parted by a single empty line")});
            continue;
        }
        pageLines = 0;
        if (i + 1 < count) // the game shows a page only when text follows its closing empty line
            ++pages;
    }

    const bool endsWell = count >= 3 && !lines.at(count - 1).isEmpty() && lines.at(count - 2).isEmpty()
                          && !lines.at(count - 3).isEmpty();
    if (!endsWell) {
        issues.append({qMax(1, count),
                       QStringLiteral("a story ends with its last page, an empty line and one more line that is never "
                                      "shown (such as \"おわり\")")});
    }
    if (pages < kMinStoryPages) {
        issues.append({qMax(1, count),
                       QStringLiteral("%1 pages; a story has at least %2").arg(pages).arg(kMinStoryPages)});
    }
    return issues;
}

Issues checkDescription(const QStringList &lines)
{
    Issues issues;
    const int count = int(lines.size());
    for (int i = 0; i < count; ++i) {
        const QString &line = lines.at(i);
        const int lineNumber = i + 1;
        if (line.trimmed().isEmpty()) {
            issues.append({lineNumber, QStringLiteral("an empty line; a description is one block of text")});
            continue;
        }
        if (!encodes(line)) // blamed by checkCodePage
            continue;
        QStringEncoder encoder(kCodePage);
        const qsizetype bytes = QByteArray(encoder.encode(line)).size();
        if (bytes > kMaxDescriptionBytes) {
            issues.append({lineNumber, QStringLiteral("the line is %1 bytes in code page 932; at most %2 fit "
                                                      "(%3 full-width characters)")
                                           .arg(bytes)
                                           .arg(kMaxDescriptionBytes)
                                           .arg(kMaxDescriptionBytes / 2)});
        }
    }
    if (count < kMinDescriptionLines || count > kMaxDescriptionLines) {
        issues.append({qMax(1, qMin(count, kMaxDescriptionLines + 1)),
                       QStringLiteral("%1 lines; a description has %2 to %3")
                           .arg(count)
                           .arg(kMinDescriptionLines)
                           .arg(kMaxDescriptionLines)});
    }
    return issues;
}

QByteArray encodeText(const QStringList &lines)
{
    QStringEncoder encoder(kCodePage);
    QByteArray bytes;
    for (const QString &line : lines) {
        bytes += encoder.encode(line);
        bytes += "\r\n";
    }
    return bytes;
}

bool codePageAvailable()
{
    return QStringEncoder(kCodePage).isValid() && QStringDecoder(kCodePage).isValid();
}

} // namespace datagen
