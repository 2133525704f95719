#pragma once

#include "platform/sounddevice.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QObject;

// Brings a slow backend up on a worker thread so that the window never waits for
// it. Until it is there the music plays on a silent stand-in, and is handed over
// when it arrives; music the backend does not take (no backend came, or it has
// no soundfont) stays with the stand-in. Cries asked for before then are silent.
//
// When no backend came, or the one there lost its device (the sound server went
// away), the worker tries again while the game is silent, waiting longer each
// time up to kLongestRetry, so that the sound comes back soon after the server
// does and costs nothing while there is none.
class DeferredAudioBackend final : public AudioBackend
{
public:
    // Runs on the worker thread; should give up early once `cancelled` turns true.
    using Factory = std::function<std::unique_ptr<AudioBackend>(const std::atomic_bool &cancelled)>;
    // When the factory is called: at once, or once the application has painted
    // something (`latest` from now at the latest), so that on a single core the
    // window's first frame does not take turns with opening the device.
    enum class Start { Now, AfterFirstPaint };
    static constexpr std::chrono::milliseconds kFirstRetry{500};
    static constexpr std::chrono::milliseconds kLongestRetry{4000};
    // How long shutting down waits for a factory that was told to cancel. One
    // stuck in a sound server that never answers is left behind: the program is
    // ending, and what it would make is never touched again.
    static constexpr std::chrono::milliseconds kCancelWithin{300};

    explicit DeferredAudioBackend(Factory factory, Start start = Start::Now,
                                  std::chrono::milliseconds latest = std::chrono::seconds(1));
    ~DeferredAudioBackend() override;

    bool openMusic(const QString &path) override;
    void closeMusic() override;
    void playMusic() override;
    void seekMusicToStart() override;
    bool isMusicPlaying() const override;
    void playCry(const QString &path) override;
    std::chrono::milliseconds musicSteadyFor() const override;

    // Shared with the worker, which may outlive this object.
    struct State;

private:
    void release();

    std::shared_ptr<State> m_state;
    std::unique_ptr<QObject> m_firstPaint;  // lets the worker start
    std::thread m_worker;  // last: started once everything it touches exists
};
