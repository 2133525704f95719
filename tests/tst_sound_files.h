#pragma once

// Small music and cry files written byte by byte, so the sound tests do not depend
// on the data set (its score may not exist yet).

#include <QByteArray>
#include <QList>
#include <QtEndian>

#include <cmath>
#include <cstdint>
#include <initializer_list>

namespace soundfiles {

inline void appendBig32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

inline void appendBig16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToBigEndian(value, bytes);
    out.append(bytes, 2);
}

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int value : values)
        out.append(char(value));
    return out;
}

inline QByteArray chunk(const char *id, const QByteArray &body)
{
    QByteArray out(id, 4);
    appendBig32(out, quint32(body.size()));
    return out + body;
}

inline QByteArray header(int format, int tracks, int division = 480)
{
    QByteArray body;
    appendBig16(body, quint16(format));
    appendBig16(body, quint16(tracks));
    appendBig16(body, quint16(division));
    return chunk("MThd", body);
}

// A delta time of less than 16384 ticks as a variable-length number.
inline QByteArray delta(int ticks)
{
    if (ticks < 0x80)
        return QByteArray(1, char(ticks));
    return bytes({0x80 | (ticks >> 7), ticks & 0x7F});
}

// Piano notes one after another, `ticks` each at 480 ticks a quarter note and the
// default 120 beats a minute (960 ticks a second), then the end of the track.
inline QByteArray trackOfNotes(const QList<int> &notes, int ticks = 240)
{
    QByteArray events;
    events += delta(0) + bytes({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});  // 500000 us a beat
    events += delta(0) + bytes({0xC0, 0x00});
    for (int note : notes) {
        events += delta(0) + bytes({0x90, note, 100});
        events += delta(ticks) + bytes({0x80, note, 0});
    }
    events += delta(0) + bytes({0xFF, 0x2F, 0x00});
    return chunk("MTrk", events);
}

// C, E, G: 720 ticks, three quarters of a second.
inline QByteArray shortTune()
{
    return header(0, 1) + trackOfNotes({60, 64, 67});
}

// A mono 16-bit RIFF WAVE of a sine tone.
inline QByteArray toneWave(double seconds, int rate = 22050, double hertz = 440)
{
    const int frames = int(seconds * rate);
    QByteArray samples;
    for (int i = 0; i < frames; ++i) {
        const auto value = qint16(std::lround(12000 * std::sin(2 * M_PI * hertz * i / rate)));
        char bytes[2];
        qToLittleEndian(value, bytes);
        samples.append(bytes, 2);
    }
    auto little32 = [](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        return QByteArray(b, 4);
    };
    auto little16 = [](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        return QByteArray(b, 2);
    };
    QByteArray format = little16(1) + little16(1) + little32(quint32(rate)) + little32(quint32(rate * 2))
                        + little16(2) + little16(16);
    QByteArray body = QByteArray("WAVE") + "fmt " + little32(quint32(format.size())) + format + "data"
                      + little32(quint32(samples.size())) + samples;
    return QByteArray("RIFF") + little32(quint32(body.size())) + body;
}

} // namespace soundfiles
