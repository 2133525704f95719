#pragma once

#include <QString>

#include <memory>

class AudioBackend;

// The sound the game runs with: FluidSynth and SDL2_mixer, brought up off the user
// interface thread.
std::unique_ptr<AudioBackend> makeGameAudioBackend();

// The General MIDI soundfont the music is played with; empty if none is installed.
QString gameSoundFont();
