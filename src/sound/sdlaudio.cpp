#include "sound/sdlaudio.h"

#include "platform/regularfile.h"
#include "sound/musicsynth.h"


#include <SDL.h>
#include <SDL_mixer.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <utility>

#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kCryChannel = 0;
// The cries are recorded at 22.05 kHz, and the music's energy above 11 kHz lies
// 40 dB under the whole of it (the game's piece with TimGM6mb): at this rate the
// cries play as they are, and synthesizing the music costs half of what it does
// at 44.1 kHz (1.3 % of a core against 2.9 %, all of it on the audio thread).
constexpr int kSampleRate = 22050;
// 23 ms: a cry waits at most one buffer to be mixed. Through PulseAudio's
// protocol the server asks for more every one of its own periods whatever this
// is, and what it queues ahead is asked for with the stream (gameaudio.cpp).
constexpr int kBufferFrames = 512;
// SDL's PipeWire backend asks the graph for a period of one buffer and plays what
// it mixes a period later: at 46 ms the graph wakes the game 47 times a second
// rather than 92, and a cry is heard 52 ms after the click (59 through PulseAudio's
// protocol at 23 ms).
constexpr int kPipeWireBufferFrames = 1024;
// How long a device just opened may take to ask for its first buffer.
constexpr std::chrono::milliseconds kFirstMixWithin{250};

// The mixer's device is the only one open, among the 16 SDL keeps.
constexpr SDL_AudioDeviceID kDevicesLookedAt = 16;

// SDL audio is process-wide: one device, one owner.
std::atomic_bool deviceTaken{false};

bool isCancelled(const std::atomic_bool *cancelled)
{
    return cancelled && cancelled->load();
}

std::int64_t steadyNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Only the rate may differ from what is asked the first time: the music hook
// writes 16-bit stereo. Later opens take the rate the synth was made for.
bool openMixer(int rate, int allowedChanges)
{
    const char *driver = SDL_GetCurrentAudioDriver();
    const int frames = driver && std::strcmp(driver, "pipewire") == 0 ? kPipeWireBufferFrames : kBufferFrames;
    if (Mix_OpenAudioDevice(rate, AUDIO_S16SYS, 2, frames, nullptr, allowedChanges) != 0)
        return false;
    Mix_ReserveChannels(1);
    return true;
}

// Through PipeWire, SDL's own backend wakes the game 47 times a second where
// PulseAudio's protocol through pipewire-pulse wakes it 72, costs less and is
// heard sooner (bench_rest), but SDL 2.26 tries PulseAudio's first. Where PipeWire
// carries no sound (a PulseAudio desktop runs it for screen sharing) its backend
// would play into nothing: it is taken when it lists an output. A player's
// SDL_AUDIODRIVER chooses before either.
bool initAudio()
{
    if (const char *asked = SDL_getenv("SDL_AUDIODRIVER"); !asked || !*asked) {
        // Over an empty SDL_AUDIODRIVER, which SDL takes as unset.
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "pipewire", SDL_HINT_OVERRIDE);
        const bool pipeWire = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        if (pipeWire && SDL_GetNumAudioDevices(0) > 0)
            return true;
        if (pipeWire)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

// SDL raises the thread it mixes on itself, but SDL's PipeWire backend mixes on
// PipeWire's client thread, which nobody raises: at a player's nice 0 it is late
// whenever the desktop is busy. Whichever thread calls the mixer asks once, as
// SDL's own does: without privileges SDL asks RTKit (a desktop's nice -15);
// where there is no RTKit the request fails at once and nothing changes.
void raiseMixingThread()
{
    thread_local bool asked = false;
    if (std::exchange(asked, true) || getpriority(PRIO_PROCESS, id_t(gettid())) < 0)
        return;
    SDL_SetThreadPriority(SDL_THREAD_PRIORITY_TIME_CRITICAL);
    // A refusal leaves SDL's error text in this thread's state, which SDL frees
    // by itself only in threads it started.
    SDL_TLSCleanup();
}

} // namespace

std::unique_ptr<SdlAudioBackend> SdlAudioBackend::create(const QString &soundFont, const std::atomic_bool *cancelled)
{
    // SDL keeps per-thread state (its error text) that it frees by itself only for
    // threads it started; a worker that ends after this would leak it.
    struct ReleaseThreadState
    {
        ~ReleaseThreadState() { SDL_TLSCleanup(); }
    } releaseThreadState;
    if (deviceTaken.exchange(true))
        return nullptr;
    // SDL would otherwise take over SIGINT and SIGTERM from the application.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Mixers list the stream under the name of the menu entry. SDL's PipeWire
    // backend takes the role from here, PulseAudio from the environment.
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "写真");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "Game");
    if (isCancelled(cancelled) || !initAudio()) {
        deviceTaken = false;
        return nullptr;
    }
    if (isCancelled(cancelled) || !openMixer(kSampleRate, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE)) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        deviceTaken = false;
        return nullptr;
    }
    int rate = kSampleRate;
    Uint16 format = 0;
    int channels = 0;
    Mix_QuerySpec(&rate, &format, &channels);
    std::unique_ptr<SdlAudioBackend> backend(new SdlAudioBackend(soundFont, rate));
    {
        std::lock_guard lock(backend->m_deviceMutex);
        backend->hookDevice();
    }
    return backend;
}

SdlAudioBackend::SdlAudioBackend(const QString &soundFont, int rate)
    : m_rate(rate)
    , m_music(std::make_unique<MusicPlayback>(soundFont, rate))
{
    m_keeper = std::thread([this] { closeWhenQuiet(); });
}

SdlAudioBackend::~SdlAudioBackend()
{
    {
        std::lock_guard lock(m_keeperMutex);
        m_stopping = true;
    }
    m_keeperWake.notify_one();
    m_keeper.join();
    {
        std::lock_guard lock(m_deviceMutex);
        if (m_deviceOpen)
            closeDevice();
    }
    m_music->close();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    deviceTaken = false;
}

void SdlAudioBackend::hookDevice()
{
    // What the hook reads lives as long as this object; the unhook waits for the hook.
    m_mixed = false;
    m_lastMix = steadyNow();
    Mix_HookMusic(&SdlAudioBackend::mixMusic, this);
    m_deviceOpen = true;
}

bool SdlAudioBackend::openDevice()
{
    if (m_deviceOpen || !openMixer(m_rate, 0))
        return m_deviceOpen;
    hookDevice();
    // PulseAudio may drop the first milliseconds of a new stream: what opens the
    // device starts in its second buffer, so that a cry keeps its fade-in.
    const auto giveUp = std::chrono::steady_clock::now() + kFirstMixWithin;
    while (!m_mixed.load() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void SdlAudioBackend::closeDevice()
{
    // Returns once the audio thread is out of the hook; after it, nothing renders.
    Mix_HookMusic(nullptr, nullptr);
    Mix_HaltChannel(-1);
    if (m_cry)
        Mix_FreeChunk(m_cry);
    m_cry = nullptr;
    Mix_CloseAudio();
    m_deviceOpen = false;
    m_quietSince = 0;
}

bool SdlAudioBackend::deviceLost() const
{
    std::lock_guard lock(m_deviceMutex);
    if (!m_deviceOpen)
        return false;
    // A device SDL found disconnected is stopped, and the mixer does not say which
    // it is: SDL's PipeWire backend stops calling the hook then, and its
    // PulseAudio backend calls it on in silence, as a timer.
    // Devices opened by id are numbered from 2 (1 is the legacy device).
    bool playing = false;
    for (SDL_AudioDeviceID id = 2; id <= kDevicesLookedAt && !playing; ++id)
        playing = SDL_GetAudioDeviceStatus(id) != SDL_AUDIO_STOPPED;
    // An id not open leaves SDL's error text in this thread's state, which SDL
    // frees by itself only in threads it started.
    SDL_TLSCleanup();
    return !playing || steadyNow() - m_lastMix.load() > std::chrono::nanoseconds(kLostAfter).count();
}

void SdlAudioBackend::mixMusic(void *backend, unsigned char *stream, int bytes)
{
    raiseMixingThread();
    auto *self = static_cast<SdlAudioBackend *>(backend);
    self->m_lastMix = steadyNow();
    // The mixer hands the hook a silent buffer; music with nothing to play leaves it so.
    const bool music = self->m_music->mix(reinterpret_cast<std::int16_t *>(stream),
                                          std::size_t(bytes) / (2 * sizeof(std::int16_t)));
    self->noteMixed(music || Mix_Playing(kCryChannel) != 0);
    self->m_mixed = true;
}

void SdlAudioBackend::noteMixed(bool sounding)
{
    if (sounding) {
        m_quietSince = 0;
        return;
    }
    if (m_quietSince.load() != 0)
        return;
    {
        std::lock_guard lock(m_keeperMutex);
        m_quietSince = steadyNow();
    }
    m_keeperWake.notify_one();
}

void SdlAudioBackend::closeWhenQuiet()
{
    const std::int64_t quietNs = std::chrono::nanoseconds(kQuietBeforeClosing).count();
    std::unique_lock lock(m_keeperMutex);
    for (;;) {
        // Asleep until the mixer finds nothing to play, then until it has had nothing for long enough.
        m_keeperWake.wait(lock, [this] { return m_stopping || m_quietSince.load() != 0; });
        const std::chrono::steady_clock::time_point due{std::chrono::nanoseconds(m_quietSince.load() + quietNs)};
        if (m_stopping || m_keeperWake.wait_until(lock, due, [this] { return m_stopping; }))
            break;
        lock.unlock();
        {
            std::lock_guard device(m_deviceMutex);
            const std::int64_t since = m_quietSince.load();
            if (m_deviceOpen && since != 0 && steadyNow() - since >= quietNs)
                closeDevice();
        }
        lock.lock();
    }
    SDL_TLSCleanup();
}

bool SdlAudioBackend::openMusic(const QString &path)
{
    return m_music->openFile(path);
}

void SdlAudioBackend::closeMusic()
{
    m_music->close();
}

void SdlAudioBackend::playMusic()
{
    if (!m_music->play())
        return;
    std::lock_guard lock(m_deviceMutex);
    openDevice();
    noteMixed(true);
}

void SdlAudioBackend::seekMusicToStart()
{
    m_music->seekToStart();
}

bool SdlAudioBackend::isMusicPlaying() const
{
    return m_music->isPlaying();
}

std::chrono::milliseconds SdlAudioBackend::musicSteadyFor() const
{
    return m_music->steadyFor();
}

void SdlAudioBackend::playCry(const QString &path)
{
    // Read as every game file is: a FIFO or a device under a cry's name is
    // refused at once rather than waited on with the device held.
    const FileRead file = readRegularFile(path);
    std::lock_guard lock(m_deviceMutex);
    if (!openDevice())
        return;
    Mix_Chunk *next = file.ok() ? Mix_LoadWAV_RW(SDL_RWFromConstMem(file.bytes.constData(), int(file.bytes.size())), 1)
                                : nullptr;
    // The cry still sounding stops here, so its chunk can go; a missing or broken
    // file leaves silence.
    Mix_HaltChannel(kCryChannel);
    if (m_cry)
        Mix_FreeChunk(m_cry);
    m_cry = next;
    if (m_cry) {
        Mix_PlayChannel(kCryChannel, m_cry, 0);
        noteMixed(true);
    }
}
