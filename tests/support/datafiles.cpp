#include "support/datafiles.h"

#include "platform/codepage.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace datafiles {

QString binPath(const QString &relative)
{
    return QStringLiteral(SHASHIN_BIN_DIR "/") + relative;
}

QString sourcePath(const QString &relative)
{
    return QStringLiteral(SHASHIN_SOURCE_DIR "/content/") + relative;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString key(int creature)
{
    return QStringLiteral("%1").arg(creature, 2, 10, QLatin1Char('0'));
}

QList<QByteArray> crlfLines(const QByteArray &bytes, QString *why)
{
    if (!bytes.endsWith("\r\n")) {
        *why = QStringLiteral("the last line does not end with CR LF");
        return {};
    }
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();  // after the final LF
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray &line = lines[i];
        if (!line.endsWith('\r')) {
            *why = QStringLiteral("line %1 ends with a lone LF").arg(i + 1);
            return {};
        }
        line.chop(1);
        if (line.contains('\r')) {
            *why = QStringLiteral("line %1 holds a lone CR").arg(i + 1);
            return {};
        }
    }
    return lines;
}

QString decodeExactly(const QByteArray &bytes, bool *ok)
{
    QStringDecoder decoder("windows-31j");
    const QString text = decoder.decode(bytes);
    QStringEncoder encoder("windows-31j");
    const QByteArray again = encoder.encode(text);
    *ok = decoder.isValid() && !decoder.hasError() && !encoder.hasError() && again == bytes;
    return text;
}

QStringList decodeLines(const QList<QByteArray> &lines)
{
    QStringList decoded;
    for (const QByteArray &line : lines)
        decoded.append(codepage::decode(line));
    return decoded;
}

QStringList sourceLines(const QString &relative)
{
    QString text = QString::fromUtf8(readAll(sourcePath(relative)));
    text.remove(QLatin1Char('\r'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

} // namespace datafiles
