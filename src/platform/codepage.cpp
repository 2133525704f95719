#include "platform/codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace codepage {

namespace {

// ICU's name for Microsoft's table: unlike plain Shift_JIS it has the NEC and IBM
// extensions and maps 0x8160 to U+FF5E, as Windows does.
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
