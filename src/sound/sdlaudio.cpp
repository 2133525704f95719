#include "sound/sdlaudio.h"

#include "sound/midifile.h"
#include "sound/musicsynth.h"

#include <QFile>

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdint>

#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kCryChannel = 0;
constexpr int kSampleRate = 44100;
// About 12 ms at 44.1 kHz: the loop's restart and a cry are heard within a tick.
constexpr int kBufferFrames = 512;
// The soundfont loads behind the window; the window comes first.
constexpr int kLoaderNice = 10;

// SDL audio is process-wide: one device, one owner.
std::atomic_bool deviceTaken{false};
std::atomic_int criesEnded{0};

void countFinishedCry(int channel)
{
    if (channel == kCryChannel)
        ++criesEnded;
}

bool isCancelled(const std::atomic_bool *cancelled)
{
    return cancelled && cancelled->load();
}

} // namespace

std::unique_ptr<SdlAudioBackend> SdlAudioBackend::create(const QString &soundFont,
                                                         const std::atomic_bool *cancelled, Caller caller)
{
    // SDL keeps per-thread state (its error text) that it frees by itself only for
    // threads it started; a worker that ends after this would leak it.
    struct ReleaseThreadState
    {
        bool worker;
        ~ReleaseThreadState()
        {
            if (worker)
                SDL_TLSCleanup();
        }
    } releaseThreadState{caller == Caller::Worker};
    if (deviceTaken.exchange(true))
        return nullptr;
    // SDL would otherwise take over SIGINT and SIGTERM from the application.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (isCancelled(cancelled) || SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        deviceTaken = false;
        return nullptr;
    }
    // Only the rate may differ from what we ask: the music hook writes 16-bit stereo.
    if (isCancelled(cancelled)
        || Mix_OpenAudioDevice(kSampleRate, AUDIO_S16SYS, 2, kBufferFrames, nullptr,
                               SDL_AUDIO_ALLOW_FREQUENCY_CHANGE)
               != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        deviceTaken = false;
        return nullptr;
    }
    Mix_ReserveChannels(1);
    Mix_ChannelFinished(countFinishedCry);
    int rate = kSampleRate;
    Uint16 format = 0;
    int channels = 0;
    Mix_QuerySpec(&rate, &format, &channels);

    // Threads inherit the nice value: the audio thread exists by now and keeps its own.
    if (caller == Caller::Worker)
        setpriority(PRIO_PROCESS, id_t(gettid()), kLoaderNice);
    std::unique_ptr<MusicSynth> synth;
    if (!isCancelled(cancelled))
        synth = MusicSynth::create(soundFont, rate);
    std::unique_ptr<SdlAudioBackend> backend(new SdlAudioBackend(std::move(synth)));
    // The synth exists before the hook can call it and goes only after the unhook.
    if (backend->m_synth)
        Mix_HookMusic(&SdlAudioBackend::mixMusic, backend.get());
    return backend;
}

SdlAudioBackend::SdlAudioBackend(std::unique_ptr<MusicSynth> synth)
    : m_synth(std::move(synth))
{
}

SdlAudioBackend::~SdlAudioBackend()
{
    // Returns once the audio thread is out of the hook; after it, nothing renders.
    Mix_HookMusic(nullptr, nullptr);
    Mix_HaltChannel(-1);
    if (m_cry)
        Mix_FreeChunk(m_cry);
    Mix_ChannelFinished(nullptr);
    Mix_CloseAudio();
    m_synth.reset();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    deviceTaken = false;
}

void SdlAudioBackend::mixMusic(void *backend, unsigned char *stream, int bytes)
{
    auto *self = static_cast<SdlAudioBackend *>(backend);
    self->m_synth->render(reinterpret_cast<std::int16_t *>(stream), bytes / int(2 * sizeof(std::int16_t)));
}

bool SdlAudioBackend::openMusic(const QString &path)
{
    if (m_synth)
        return m_synth->openFile(path);
    m_silentMusicOpen = !readPlayableMidi(path).isEmpty();
    m_silentMusicPlaying = false;
    return m_silentMusicOpen;
}

void SdlAudioBackend::closeMusic()
{
    if (m_synth)
        m_synth->close();
    m_silentMusicOpen = false;
    m_silentMusicPlaying = false;
}

void SdlAudioBackend::playMusic()
{
    if (m_synth)
        m_synth->play();
    else
        m_silentMusicPlaying = m_silentMusicOpen;
}

void SdlAudioBackend::seekMusicToStart()
{
    if (m_synth)
        m_synth->seekToStart();
}

bool SdlAudioBackend::isMusicPlaying() const
{
    return m_synth ? m_synth->isPlaying() : m_silentMusicPlaying;
}

std::chrono::milliseconds SdlAudioBackend::musicSteadyFor() const
{
    // Silent music changes only when told to.
    return m_synth ? m_synth->steadyFor() : kUntilTold;
}

void SdlAudioBackend::playCry(const QString &path)
{
    Mix_Chunk *next = Mix_LoadWAV(QFile::encodeName(path).constData());
    // The cry still sounding stops here, so its chunk can go; a missing or broken
    // file leaves silence.
    Mix_HaltChannel(kCryChannel);
    if (m_cry)
        Mix_FreeChunk(m_cry);
    m_cry = next;
    if (m_cry)
        Mix_PlayChannel(kCryChannel, m_cry, 0);
}

bool SdlAudioBackend::isCryPlaying() const
{
    return Mix_Playing(kCryChannel) != 0;
}

int SdlAudioBackend::criesFinished()
{
    return criesEnded.load();
}
