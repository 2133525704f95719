#pragma once

#include "platform/sounddevice.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

class MusicSynth;
struct Mix_Chunk;

// The real sound: the music synthesized by FluidSynth into SDL2_mixer's music hook,
// the cries as sound chunks on one reserved mixer channel. Opening the device and
// loading the soundfont take a while; create() does both, so call it off the user
// interface thread (DeferredAudioBackend does).
//
// An open device wakes its thread for every buffer, sound or no sound, so once
// nothing has sounded for a while it is closed, and a cry or the music opens it
// again. It closes after silence and opens to silence: neither is heard.
class SdlAudioBackend final : public AudioBackend
{
public:
    enum class Caller { Foreground, Worker };
    static constexpr std::chrono::milliseconds kQuietBeforeClosing{1000};

    // Null when there is no audio device, or another instance holds it. Without
    // the soundfont no music opens and the cries still sound. `cancelled` is
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

private:
    SdlAudioBackend(std::unique_ptr<MusicSynth> synth, int rate);
    static void mixMusic(void *backend, unsigned char *stream, int bytes);
    // With m_deviceMutex held.
    void hookDevice();
    bool openDevice();
    void closeDevice();
    // Called by the audio thread after each buffer, and by whoever starts a sound.
    void noteMixed(bool sounding);
    void closeWhenQuiet();

    std::unique_ptr<MusicSynth> m_synth;
    const int m_rate;
    // The device's opening and closing, and what plays on it.
    std::mutex m_deviceMutex;
    bool m_deviceOpen = false;
    std::atomic_bool m_mixed{false};  // the hook has been called since the device opened
    Mix_Chunk *m_cry = nullptr;  // kept until the next cry has stopped it
    // Since when (steady clock, ns) the mixer has had nothing to play; 0 while
    // something sounds or the device is closed.
    std::atomic<std::int64_t> m_quietSince{0};
    std::mutex m_keeperMutex;
    std::condition_variable m_keeperWake;
    bool m_stopping = false;
    std::thread m_keeper;  // last: started once everything it touches exists
};
