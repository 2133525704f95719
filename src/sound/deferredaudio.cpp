#include "sound/deferredaudio.h"

#include "sound/midifile.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <utility>

namespace {

// Calls `then` once, after the first paint event the application delivers has
// been handled, or after `latest`; on the thread it was made on.
class AfterFirstPaint final : public QObject
{
public:
    AfterFirstPaint(std::function<void()> then, std::chrono::milliseconds latest)
        : m_then(std::move(then))
    {
        QCoreApplication::instance()->installEventFilter(this);
        QTimer::singleShot(latest, this, [this] { fire(); });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            QCoreApplication::instance()->removeEventFilter(this);
            // Queued: the rest of the frame is painted and shown first.
            QMetaObject::invokeMethod(this, [this] { fire(); }, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void fire()
    {
        if (m_then)
            std::exchange(m_then, nullptr)();
    }

    std::function<void()> m_then;
};

} // namespace

DeferredAudioBackend::DeferredAudioBackend(Factory factory, Start start, std::chrono::milliseconds latest)
{
    if (start == Start::AfterFirstPaint && QCoreApplication::instance()) {
        m_mayStart = false;
        m_firstPaint = std::make_unique<AfterFirstPaint>([this] { release(); }, latest);
    }
    m_worker = std::thread([this, factory = std::move(factory)] { bringUp(factory); });
}

DeferredAudioBackend::~DeferredAudioBackend()
{
    m_firstPaint.reset();
    m_cancelled = true;
    release();
    if (m_worker.joinable())
        m_worker.join();
    std::lock_guard lock(m_mutex);
    m_backend.reset();
}

void DeferredAudioBackend::release()
{
    {
        std::lock_guard lock(m_mutex);
        m_mayStart = true;
    }
    m_released.notify_one();
}

void DeferredAudioBackend::bringUp(const Factory &factory)
{
    {
        std::unique_lock lock(m_mutex);
        m_released.wait(lock, [this] { return m_mayStart; });
    }
    std::unique_ptr<AudioBackend> backend;
    try {
        backend = factory(m_cancelled);
    } catch (...) {
        backend.reset();  // no sound is no reason to stop the game
    }
    std::lock_guard lock(m_mutex);
    if (backend && m_musicOpen) {
        m_backendHasMusic = backend->openMusic(m_musicPath);
        if (m_backendHasMusic && m_musicPlaying)
            backend->playMusic();
    }
    m_backend = std::move(backend);
    m_ready = true;
}

bool DeferredAudioBackend::openMusic(const QString &path)
{
    std::lock_guard lock(m_mutex);
    m_musicPath = path;
    m_musicPlaying = false;
    if (m_backend) {
        m_backendHasMusic = m_backend->openMusic(path);
        m_musicOpen = m_backendHasMusic;
    } else {
        m_backendHasMusic = false;
        m_musicOpen = !readPlayableMidi(path).isEmpty();
    }
    return m_musicOpen;
}

void DeferredAudioBackend::closeMusic()
{
    std::lock_guard lock(m_mutex);
    if (m_backend && m_backendHasMusic)
        m_backend->closeMusic();
    m_musicOpen = false;
    m_musicPlaying = false;
    m_backendHasMusic = false;
}

void DeferredAudioBackend::playMusic()
{
    std::lock_guard lock(m_mutex);
    if (!m_musicOpen)
        return;
    m_musicPlaying = true;
    if (m_backend && m_backendHasMusic)
        m_backend->playMusic();
}

void DeferredAudioBackend::seekMusicToStart()
{
    // Before the backend is there the music has not moved from its start.
    std::lock_guard lock(m_mutex);
    if (m_backend && m_backendHasMusic)
        m_backend->seekMusicToStart();
}

bool DeferredAudioBackend::isMusicPlaying() const
{
    std::lock_guard lock(m_mutex);
    if (m_backend && m_backendHasMusic)
        return m_backend->isMusicPlaying();
    return m_musicOpen && m_musicPlaying;
}

std::chrono::milliseconds DeferredAudioBackend::musicSteadyFor() const
{
    std::lock_guard lock(m_mutex);
    if (m_backend && m_backendHasMusic)
        return m_backend->musicSteadyFor();
    // The device coming up may change the answer; once it is settled without
    // taking the music, that music plays in silence.
    return m_ready ? kUntilTold : std::chrono::milliseconds::zero();
}

void DeferredAudioBackend::playCry(const QString &path)
{
    std::lock_guard lock(m_mutex);
    if (m_backend)
        m_backend->playCry(path);
}

bool DeferredAudioBackend::isReady() const
{
    std::lock_guard lock(m_mutex);
    return m_ready;
}

bool DeferredAudioBackend::hasBackend() const
{
    std::lock_guard lock(m_mutex);
    return m_backend != nullptr;
}

bool DeferredAudioBackend::withBackend(const std::function<void(AudioBackend &)> &action) const
{
    std::lock_guard lock(m_mutex);
    if (!m_backend)
        return false;
    action(*m_backend);
    return true;
}
