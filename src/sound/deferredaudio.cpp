#include "sound/deferredaudio.h"

#include "sound/midifile.h"

DeferredAudioBackend::DeferredAudioBackend(Factory factory)
{
    m_worker = std::thread([this, factory = std::move(factory)] { bringUp(factory); });
}

DeferredAudioBackend::~DeferredAudioBackend()
{
    m_cancelled = true;
    if (m_worker.joinable())
        m_worker.join();
    std::lock_guard lock(m_mutex);
    m_backend.reset();
}

void DeferredAudioBackend::bringUp(const Factory &factory)
{
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
