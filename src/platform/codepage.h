#pragma once

#include <QByteArray>
#include <QString>

// Code page 932 (Shift-JIS as Windows writes it), through Qt's converter.
namespace codepage {

QString decode(const QByteArray &bytes);
// A character with no code page 932 form comes out as the code page's
// substitute; check with canEncode first where that matters.
QByteArray encode(const QString &text);
// True when every character of `text` has a code page 932 form.
bool canEncode(const QString &text);

} // namespace codepage
