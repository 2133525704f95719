#pragma once

#include <QString>

#include <memory>

class AudioBackend;

// The sound the game runs with: FluidSynth and SDL2_mixer, brought up off the user
// interface thread after the window's first frame, from the sound module beside
// the program (`programDir`, when empty the running program's folder). Without
// the module the game is silent, as without a device.
std::unique_ptr<AudioBackend> makeGameAudioBackend(const QString &programDir = {});

// The General MIDI soundfont the music is played with; empty if none is installed.
QString gameSoundFont();
