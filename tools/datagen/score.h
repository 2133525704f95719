#pragma once

#include "content.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

// The background music, written as a score in content/music/ (the notation is
// described at the top of the score) and turned into the events of a Standard
// MIDI File.
namespace datagen {

inline constexpr int kTicksPerQuarter = 480;

// One event of a track: the status byte and its data as they go into the file
// (a meta event as FF, type, length and data), and when it happens.
struct MidiEvent
{
    qint64 tick = 0;
    int order = 0; // at the same tick: set-up, then notes ending, then notes starting, then the end
    QByteArray bytes;
};

struct Song
{
    // The first track is the conductor's: title, time signature and tempo.
    QList<QList<MidiEvent>> tracks;
    qint64 length = 0;          // ticks; every track ends here, on a bar line
    int tempo = 0;              // quarter notes a minute
    int beatsPerBar = 0;        // time signature
    int beatUnit = 0;
};

// The score read, checked and played out in the order its "play" line gives.
// What is wrong goes to `issues`, by line, and the song is then empty.
Song parseScore(const QStringList &lines, Issues &issues);

} // namespace datagen
