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
class DeferredAudioBackend final : public AudioBackend
{
public:
    // Runs on the worker thread; should give up early once `cancelled` turns true.
    using Factory = std::function<std::unique_ptr<AudioBackend>(const std::atomic_bool &cancelled)>;
    // When the factory is called: at once, or once the application has painted
    // something (`latest` from now at the latest), so that on a single core the
    // window's first frame does not take turns with opening the device.
    enum class Start { Now, AfterFirstPaint };

    explicit DeferredAudioBackend(Factory factory, Start start = Start::Now,
                                  std::chrono::milliseconds latest = std::chrono::seconds(1));
    // Waits for the factory if it is still running (it has been told to cancel).
    ~DeferredAudioBackend() override;

    bool openMusic(const QString &path) override;
    void closeMusic() override;
    void playMusic() override;
    void seekMusicToStart() override;
    bool isMusicPlaying() const override;
    void playCry(const QString &path) override;
    std::chrono::milliseconds musicSteadyFor() const override;

private:
    void bringUp(const Factory &factory);
    void release();

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_mayStart = true;
    std::unique_ptr<QObject> m_firstPaint;  // lets the worker start
    std::unique_ptr<AudioBackend> m_backend;
    bool m_ready = false;
    SilentBackend m_silent;
    QString m_musicPath;  // the music open, to hand over
    AudioBackend *m_music = &m_silent;  // which of the two plays it
    std::atomic_bool m_cancelled{false};
    std::thread m_worker;  // last: started once everything it touches exists
};
