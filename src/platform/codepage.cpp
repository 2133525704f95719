#include "platform/codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace codepage {

namespace {

// ICU's name for Microsoft's table, the one Windows reads the files with: the NEC
// and IBM extensions, 0x8160 as U+FF5E and 0x5C as the backslash. (Some ICU builds
// take "Shift_JIS" for it too; others, and IBM's tables, differ on these.)
constexpr char kName[] = "windows-31j";

} // namespace

// A converter per call: they are cheap, and a fresh one carries no error flag or
// half-read character over from the previous text.
QString decode(const QByteArray &bytes)
{
    QStringDecoder decoder(kName, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

QByteArray encode(const QString &text)
{
    QStringEncoder encoder(kName, QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

bool canEncode(const QString &text)
{
    QStringEncoder encoder(kName, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    // Text that does not come back the same was not really encodable, whether
    // or not the converter said so.
    return !encoder.hasError() && decode(bytes) == text;
}

} // namespace codepage
