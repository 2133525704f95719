#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

class GameFixture;

// What every harness shares: the input as bytes, a stop that libFuzzer reports
// as a finding, and a game window over a data folder of its own, made once.
namespace fuzzing {

inline QByteArray bytes(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A scratch folder of the harness's own, for the whole run.
QString folder();
// Writes the input to `name` in folder(); returns its path.
QString writeInput(const QString &name, const std::uint8_t *data, std::size_t size);

// Aborts, so the input is kept, when `holds` is false.
void check(bool holds, const char *what);

// A loaded, never shown window with scripted draws and answers, in an
// application on the offscreen platform, made at the first call.
GameFixture &game();

} // namespace fuzzing
