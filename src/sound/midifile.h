#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A program (instrument) that a channel of a piece is set to: channel 0 to 15,
// 9 being the drums, program 0 to 127.
struct MidiProgram
{
    int channel = 0;
    int program = 0;
    bool operator==(const MidiProgram &) const = default;
};

// FluidSynth's player accepts any bytes and only finds out while playing that they
// are no MIDI file, so the music is checked here first: a Standard MIDI File with
// a valid MThd header and all the MTrk chunks it announces, each of which reads to
// its end as events the player understands. The programs the piece sets go into
// `programs`, each once, when it is given.
bool isPlayableMidi(const QByteArray &bytes, QList<MidiProgram> *programs = nullptr);

// The bytes of a playable MIDI file, or nothing for a missing, unreadable,
// oversized or broken one.
QByteArray readPlayableMidi(const QString &path);
