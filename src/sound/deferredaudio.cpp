#include "sound/deferredaudio.h"

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
    if (backend && !m_musicPath.isEmpty() && backend->openMusic(m_musicPath)) {
        if (m_silent.isMusicPlaying())
            backend->playMusic();
        m_music = backend.get();
    }
    m_backend = std::move(backend);
    m_ready = true;
}

bool DeferredAudioBackend::openMusic(const QString &path)
{
    std::lock_guard lock(m_mutex);
    m_silent.closeMusic();
    m_musicPath = path;
    if (m_backend && m_backend->openMusic(path)) {
        m_music = m_backend.get();
        return true;
    }
    m_music = &m_silent;
    return m_silent.openMusic(path);
}

void DeferredAudioBackend::closeMusic()
{
    std::lock_guard lock(m_mutex);
    m_music->closeMusic();
    m_music = &m_silent;
    m_musicPath.clear();
}

void DeferredAudioBackend::playMusic()
{
    std::lock_guard lock(m_mutex);
    m_music->playMusic();
}

void DeferredAudioBackend::seekMusicToStart()
{
    std::lock_guard lock(m_mutex);
    m_music->seekMusicToStart();
}

bool DeferredAudioBackend::isMusicPlaying() const
{
    std::lock_guard lock(m_mutex);
    return m_music->isMusicPlaying();
}

std::chrono::milliseconds DeferredAudioBackend::musicSteadyFor() const
{
    std::lock_guard lock(m_mutex);
    // The device coming up may take the music over and change the answer.
    return m_ready || m_music != &m_silent ? m_music->musicSteadyFor() : std::chrono::milliseconds::zero();
}

void DeferredAudioBackend::playCry(const QString &path)
{
    std::lock_guard lock(m_mutex);
    if (m_backend)
        m_backend->playCry(path);
}
