#include "midi.h"

#include <algorithm>

namespace datagen {

namespace {

void appendBigEndian(QByteArray &bytes, quint32 value, int size)
{
    for (int i = size - 1; i >= 0; --i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
}

QByteArray trackChunk(QList<MidiEvent> events, qint64 length)
{
    std::stable_sort(events.begin(), events.end(), [](const MidiEvent &a, const MidiEvent &b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    QByteArray body;
    qint64 now = 0;
    for (const MidiEvent &event : std::as_const(events)) {
        body += variableLength(quint32(event.tick - now));
        body += event.bytes;
        now = event.tick;
    }
    body += variableLength(quint32(length - now));
    body += QByteArray("\xFF\x2F\x00", 3); // End of Track

    QByteArray chunk("MTrk");
    appendBigEndian(chunk, quint32(body.size()), 4);
    return chunk + body;
}

} // namespace

QByteArray variableLength(quint32 value)
{
    QByteArray bytes;
    bytes.prepend(char(value & 0x7F));
    value >>= 7;
    while (value > 0) {
        bytes.prepend(char(0x80 | (value & 0x7F)));
        value >>= 7;
    }
    return bytes;
}

QByteArray writeMidi(const Song &song)
{
    QByteArray file("MThd");
    appendBigEndian(file, 6, 4);
    appendBigEndian(file, 1, 2); // format 1: tracks played together
    appendBigEndian(file, quint32(song.tracks.size()), 2);
    appendBigEndian(file, kTicksPerQuarter, 2);
    for (const QList<MidiEvent> &track : song.tracks)
        file += trackChunk(track, song.length);
    return file;
}

} // namespace datagen
