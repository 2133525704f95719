#pragma once

#include "score.h"

#include <QByteArray>

namespace datagen {

// The song as a Standard MIDI File, format 1: a header chunk and one track
// chunk a track, each event after its delta time, every track closed by an End
// of Track event at the song's length.
QByteArray writeMidi(const Song &song);

// A number as a MIDI variable-length quantity: seven bits a byte, most
// significant first, every byte but the last with its top bit set.
QByteArray variableLength(quint32 value);

} // namespace datagen
