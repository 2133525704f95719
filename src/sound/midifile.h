#pragma once

#include <QByteArray>
#include <QString>

// FluidSynth's player accepts any bytes and only finds out while playing that they
// are no MIDI file, so the music is checked here first: a Standard MIDI File with
// a valid MThd header and all the MTrk chunks it announces, each of which reads to
// its end as events the player understands.
bool isPlayableMidi(const QByteArray &bytes);

// The bytes of a playable MIDI file, or nothing for a missing, unreadable,
// oversized or broken one.
QByteArray readPlayableMidi(const QString &path);
