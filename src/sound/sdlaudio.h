#pragma once

#include "platform/sounddevice.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

struct Mix_Chunk;
class MusicPlayback;

// The real sound: the music rendered once by FluidSynth and played from memory
// through SDL2_mixer's music hook, the cries as sound chunks on one reserved mixer
// channel. Opening the device takes a while; create() does it, so call it off the
// user interface thread (DeferredAudioBackend does). The music is rendered once
// (MusicPlayback): 96 s of the game's piece take 1.5 s of CPU once, where
// synthesizing it live cost 1.5 % of a core for ever.
//
// An open device wakes its thread for every buffer, sound or no sound, so once
// nothing has sounded for a while it is closed, and a cry or the music opens it
// again. It closes after silence and opens to silence: neither is heard.
class SdlAudioBackend final : public AudioBackend
{
public:
    static constexpr std::chrono::milliseconds kQuietBeforeClosing{1000};
    // An open device whose thread has not asked for sound for this long is gone.
    static constexpr std::chrono::milliseconds kLostAfter{1500};

    // Null when there is no audio device, or another instance holds it. Without
    // the soundfont no music opens and the cries still sound. `cancelled` is
    // looked at between the slow steps. Called on a worker thread that ends after
    // it: SDL's state for the thread is released before it returns.
    static std::unique_ptr<SdlAudioBackend> create(const QString &soundFont,
                                                   const std::atomic_bool *cancelled = nullptr);
    ~SdlAudioBackend() override;

    bool openMusic(const QString &path) override;
    void closeMusic() override;
    void playMusic() override;
    void seekMusicToStart() override;
    bool isMusicPlaying() const override;
    void playCry(const QString &path) override;
    std::chrono::milliseconds musicSteadyFor() const override;
    bool deviceLost() const override;

private:
    SdlAudioBackend(const QString &soundFont, int rate);
    static void mixMusic(void *backend, unsigned char *stream, int bytes);
    // With m_deviceMutex held.
    void hookDevice();
    bool openDevice();
    void closeDevice();
    // Called by the audio thread after each buffer, and by whoever starts a sound.
    void noteMixed(bool sounding);
    void closeWhenQuiet();

    const int m_rate;
    // The device's opening and closing, and what plays on it.
    mutable std::mutex m_deviceMutex;
    std::atomic_bool m_deviceOpen{false};
    std::atomic_bool m_mixed{false};  // the hook has been called since the device opened
    std::atomic<std::int64_t> m_lastMix{0};  // steady clock, ns: the hook, or the device opening
    Mix_Chunk *m_cry = nullptr;  // kept until the next cry has stopped it
    // Since when (steady clock, ns) the mixer has had nothing to play; 0 while
    // something sounds or the device is closed.
    std::atomic<std::int64_t> m_quietSince{0};
    std::mutex m_keeperMutex;
    std::condition_variable m_keeperWake;
    bool m_stopping = false;

    const std::unique_ptr<MusicPlayback> m_music;

    std::thread m_keeper;  // last: started once everything it touches exists
};
