#pragma once

#include <atomic>

class AudioBackend;

// The real audio backend (SdlAudioBackend) lives in a module of its own, loaded
// by the game on a worker thread: FluidSynth and SDL2_mixer bring some forty
// libraries with them, and loading those before main() would hold up the window.
// The module's one entry point, looked up by this name:
#define SHASHIN_SOUND_OPEN "shashin_sound_open"

extern "C" {
// SdlAudioBackend::create() for the game's worker thread; null without a device.
// The caller owns what it gets and must not unload the module while it lives.
AudioBackend *shashin_sound_open(const char *soundFont, const std::atomic_bool *cancelled);
}
