#include "sound/deferredaudio.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <algorithm>
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

struct DeferredAudioBackend::State
{
    // Runs on the worker thread until cancelled.
    void run(const Factory &factory);
    // With `mutex` held.
    void install(std::unique_ptr<AudioBackend> next);
    std::unique_ptr<AudioBackend> takeLost();

    std::mutex mutex;
    std::condition_variable wake;  // to start, to give up, to look again
    std::condition_variable finishedWake;
    bool mayStart = true;
    bool finished = false;
    bool abandoned = false;  // nobody waits for the worker any more
    std::atomic_bool cancelled{false};
    std::unique_ptr<AudioBackend> backend;
    bool ready = false;  // the first attempt is over
    SilentBackend silent;
    QString musicPath;  // the music open, to hand over
    AudioBackend *music = &silent;  // which of the two plays it
};

namespace {

// How often a backend that is there is asked whether its device is still there.
constexpr std::chrono::milliseconds kLostCheck{1000};

} // namespace

void DeferredAudioBackend::State::run(const Factory &factory)
{
    std::unique_lock lock(mutex);
    auto retry = kFirstRetry;
    for (;;) {
        wake.wait(lock, [this] { return mayStart; });
        if (cancelled)
            break;
        lock.unlock();
        std::unique_ptr<AudioBackend> next;
        try {
            next = factory(cancelled);
        } catch (...) {
            next.reset();  // no sound is no reason to stop the game
        }
        lock.lock();
        if (cancelled) {
            if (abandoned)
                (void)next.release();  // the program is ending: left as it is
            else
                backend = std::move(next);
            break;
        }
        const bool came = next != nullptr;
        install(std::move(next));
        ready = true;
        if (came) {
            retry = kFirstRetry;
            while (!wake.wait_for(lock, kLostCheck, [this] { return cancelled.load(); }) && !backend->deviceLost()) {
            }
            if (cancelled)
                break;
            std::unique_ptr<AudioBackend> lost = takeLost();
            lock.unlock();
            lost.reset();  // its threads are not stuck: the device has gone
            lock.lock();
        }
        // Silent until then; each try that finds nothing waits longer for the next.
        if (wake.wait_for(lock, retry, [this] { return cancelled.load(); }))
            break;
        retry = std::min(2 * retry, kLongestRetry);
    }
    finished = true;
    finishedWake.notify_all();
}

void DeferredAudioBackend::State::install(std::unique_ptr<AudioBackend> next)
{
    if (next && !musicPath.isEmpty() && next->openMusic(musicPath)) {
        if (silent.isMusicPlaying())
            next->playMusic();
        silent.closeMusic();
        music = next.get();
    }
    backend = std::move(next);
}

std::unique_ptr<AudioBackend> DeferredAudioBackend::State::takeLost()
{
    // The music plays on in silence, as it did before any device came.
    if (music == backend.get()) {
        const bool playing = music->isMusicPlaying();
        music = &silent;
        if (silent.openMusic(musicPath) && playing)
            silent.playMusic();
    }
    return std::move(backend);
}

DeferredAudioBackend::DeferredAudioBackend(Factory factory, Start start, std::chrono::milliseconds latest)
    : m_state(std::make_shared<State>())
{
    if (start == Start::AfterFirstPaint && QCoreApplication::instance()) {
        m_state->mayStart = false;
        m_firstPaint = std::make_unique<AfterFirstPaint>([this] { release(); }, latest);
    }
    m_worker = std::thread([state = m_state, factory = std::move(factory)] { state->run(factory); });
}

DeferredAudioBackend::~DeferredAudioBackend()
{
    m_firstPaint.reset();
    m_state->cancelled = true;
    release();
    std::unique_lock lock(m_state->mutex);
    if (!m_state->finishedWake.wait_for(lock, kCancelWithin, [this] { return m_state->finished; })) {
        // Stuck in a sound server that does not answer: the worker keeps the state alive.
        m_state->abandoned = true;
        lock.unlock();
        m_worker.detach();
        return;
    }
    lock.unlock();
    m_worker.join();
    m_state->backend.reset();
}

void DeferredAudioBackend::release()
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->mayStart = true;
    }
    m_state->wake.notify_all();
}

bool DeferredAudioBackend::openMusic(const QString &path)
{
    std::lock_guard lock(m_state->mutex);
    State &s = *m_state;
    s.silent.closeMusic();
    s.musicPath = path;
    if (s.backend && s.backend->openMusic(path)) {
        s.music = s.backend.get();
        return true;
    }
    s.music = &s.silent;
    return s.silent.openMusic(path);
}

void DeferredAudioBackend::closeMusic()
{
    std::lock_guard lock(m_state->mutex);
    m_state->music->closeMusic();
    m_state->music = &m_state->silent;
    m_state->musicPath.clear();
}

void DeferredAudioBackend::playMusic()
{
    std::lock_guard lock(m_state->mutex);
    m_state->music->playMusic();
}

void DeferredAudioBackend::seekMusicToStart()
{
    std::lock_guard lock(m_state->mutex);
    m_state->music->seekMusicToStart();
}

bool DeferredAudioBackend::isMusicPlaying() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->music->isMusicPlaying();
}

std::chrono::milliseconds DeferredAudioBackend::musicSteadyFor() const
{
    std::lock_guard lock(m_state->mutex);
    // The device coming up may take the music over and change the answer.
    return m_state->ready || m_state->music != &m_state->silent ? m_state->music->musicSteadyFor()
                                                                : std::chrono::milliseconds::zero();
}

void DeferredAudioBackend::playCry(const QString &path)
{
    std::lock_guard lock(m_state->mutex);
    if (m_state->backend)
        m_state->backend->playCry(path);
}
