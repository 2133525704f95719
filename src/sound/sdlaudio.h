#pragma once

#include "platform/sounddevice.h"

#include <QString>

#include <atomic>
#include <memory>

class MusicSynth;
struct Mix_Chunk;

// The real sound: the music synthesized by FluidSynth into SDL2_mixer's music hook,
// the cries as sound chunks on one reserved mixer channel. Opening the device and
// loading the soundfont take a while; create() does both, so call it off the user
// interface thread (DeferredAudioBackend does).
class SdlAudioBackend final : public AudioBackend
{
public:
    enum class Caller { Foreground, Worker };

    // Null when there is no audio device, or another instance holds it. Without
    // the soundfont the music is silent and the cries still sound. `cancelled` is
    // looked at between the slow steps. Called on a worker thread that ends after
    // it, the worker is lowered in priority once the device (and with it the audio
    // thread) is up, so that loading the soundfont does not hold up the window on a
    // busy machine, and SDL's state for the thread is released before it returns.
    static std::unique_ptr<SdlAudioBackend> create(const QString &soundFont,
                                                   const std::atomic_bool *cancelled = nullptr,
                                                   Caller caller = Caller::Foreground);
    ~SdlAudioBackend() override;

    bool openMusic(const QString &path) override;
    void closeMusic() override;
    void playMusic() override;
    void seekMusicToStart() override;
    bool isMusicPlaying() const override;
    void playCry(const QString &path) override;
    std::chrono::milliseconds musicSteadyFor() const override;

    bool hasSynth() const { return m_synth != nullptr; }
    MusicSynth *synth() const { return m_synth.get(); }
    bool isCryPlaying() const;
    // Cries that came to an end, played out or cut short by the next one.
    static int criesFinished();

private:
    explicit SdlAudioBackend(std::unique_ptr<MusicSynth> synth);
    static void mixMusic(void *backend, unsigned char *stream, int bytes);

    std::unique_ptr<MusicSynth> m_synth;
    Mix_Chunk *m_cry = nullptr;  // kept until the next cry has stopped it
    // Without a synth the music plays silently, as far as the game can tell.
    bool m_silentMusicOpen = false;
    bool m_silentMusicPlaying = false;
};
