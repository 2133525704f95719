#include "sound/musicsynth.h"

#include "sound/midifile.h"

#include <QFile>
#include <QFileInfo>

#include <fluidsynth.h>

#include <algorithm>

#include <sys/resource.h>
#include <unistd.h>

struct MusicSynth::Fluid
{
    fluid_settings_t *settings = nullptr;
    fluid_synth_t *synth = nullptr;
    fluid_player_t *player = nullptr;
    int soundFontId = FLUID_FAILED;

    ~Fluid()
    {
        if (player)
            delete_fluid_player(player);
        if (synth)
            delete_fluid_synth(synth);
        if (settings)
            delete_fluid_settings(settings);
    }
};

namespace {

// When FluidSynth lets go of the last voice its reverb and chorus are already far
// below one 16-bit step (measured with TimGM6mb, full sends); rendered on a little
// longer all the same.
constexpr double kRingSeconds = 0.5;
// A rendering of the whole piece goes this many frames at a time: where the piece
// ends is known to within a block (12 ms), and the calls cost little more than
// longer ones.
constexpr int kWholeBlock = 256;
// What rings on past the last event is kept for at most this long.
constexpr double kLongestTailSeconds = 5;

// The music renders behind the window and the audio thread, some fifty times as
// fast as it is heard on an idle machine and six times under two busy loops.
constexpr int kRendererNice = 10;
constexpr double kLeadSeconds = 2;

std::int16_t clipped(int sample)
{
    return std::int16_t(std::clamp(sample, -32768, 32767));
}

void silenceFluidSynth()
{
    // Its errors go to stderr by default; a missing soundfont or a bad file is silence.
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = 0; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, nullptr, nullptr);
    });
}

} // namespace

std::unique_ptr<MusicSynth> MusicSynth::create(const QString &soundFont, double sampleRate)
{
    silenceFluidSynth();
    if (!QFileInfo(soundFont).isFile())
        return nullptr;
    auto fluid = std::make_unique<Fluid>();
    fluid->settings = new_fluid_settings();
    if (!fluid->settings)
        return nullptr;
    fluid_settings_setnum(fluid->settings, "synth.sample-rate", sampleRate);
    // FluidSynth's default gain leaves the score peaking near -18 dBFS, far under
    // the cries; this brings it to about -13 dBFS, still with room before clipping.
    fluid_settings_setnum(fluid->settings, "synth.gain", 0.5);
    // Only the samples of presets in use are read into memory, not the file's
    // whole sample data.
    fluid_settings_setint(fluid->settings, "synth.dynamic-sample-loading", 1);
    // Twice the most voices the game's music ever sounds at once (64); each voice
    // allowed for holds its buffers.
    fluid_settings_setint(fluid->settings, "synth.polyphony", 128);
    fluid->synth = new_fluid_synth(fluid->settings);
    if (!fluid->synth)
        return nullptr;
    fluid->soundFontId = fluid_synth_sfload(fluid->synth, QFile::encodeName(soundFont).constData(), 1);
    if (fluid->soundFontId == FLUID_FAILED)
        return nullptr;
    return std::unique_ptr<MusicSynth>(new MusicSynth(std::move(fluid), sampleRate));
}

MusicSynth::MusicSynth(std::unique_ptr<Fluid> fluid, double sampleRate)
    : m_fluid(std::move(fluid))
    , m_ringFrames(int(kRingSeconds * sampleRate))
{
}

MusicSynth::~MusicSynth() = default;

bool MusicSynth::open(const QByteArray &midi)
{
    if (m_fluid->player) {
        delete_fluid_player(m_fluid->player);
        m_fluid->player = nullptr;
    }
    QList<MidiProgram> programs;
    if (!isPlayableMidi(midi, &programs))
        return false;
    loadPresets(programs);
    fluid_player_t *player = new_fluid_player(m_fluid->synth);
    if (!player)
        return false;
    // Never a loop count of -1: the game loops the music itself, and a file the
    // player cannot load would then be retried without end inside the audio thread.
    if (fluid_player_add_mem(player, midi.constData(), size_t(midi.size())) != FLUID_OK) {
        delete_fluid_player(player);
        return false;
    }
    m_fluid->player = player;
    return true;
}

void MusicSynth::loadPresets(const QList<MidiProgram> &programs)
{
    // Their samples are read here rather than in the audio thread at the piece's
    // program changes, and kept when each time round sets them anew: what the
    // channels are set to before the piece sets its own, and what it sets.
    fluid_synth_pin_preset(m_fluid->synth, m_fluid->soundFontId, 0, 0);
    fluid_synth_pin_preset(m_fluid->synth, m_fluid->soundFontId, 128, 0);
    for (const MidiProgram &program : programs)  // bank 128 holds the drums
        fluid_synth_pin_preset(m_fluid->synth, m_fluid->soundFontId, program.channel == 9 ? 128 : 0, program.program);
}

bool RenderedMusic::append(const std::int16_t *stereo, std::size_t frames)
{
    std::size_t at = pieceFrames.load(std::memory_order_relaxed);
    while (frames > 0) {
        if (at == piece.size() * kChunkFrames) {
            if (piece.size() == kMostChunks)
                return false;
            // Within the capacity reserved: the chunks already there stay where they
            // are. Left unset, a chunk's pages take memory only once written.
            piece.push_back(std::make_unique_for_overwrite<std::int16_t[]>(2 * kChunkFrames));
        }
        const std::size_t taken = std::min(frames, kChunkFrames - at % kChunkFrames);
        std::copy_n(stereo, 2 * taken, piece[at / kChunkFrames].get() + 2 * (at % kChunkFrames));
        stereo += 2 * taken;
        frames -= taken;
        at += taken;
        pieceFrames.store(at, std::memory_order_release);
    }
    return true;
}

std::size_t RenderedMusic::mixPiece(std::size_t from, std::int16_t *stereo, std::size_t frames) const
{
    const std::size_t rendered = pieceFrames.load(std::memory_order_acquire);
    frames = std::min(frames, rendered - std::min(from, rendered));
    const std::size_t mixed = frames;
    while (frames > 0) {
        const std::int16_t *chunk = piece[from / kChunkFrames].get();
        const std::size_t at = from % kChunkFrames;
        const std::size_t taken = std::min(frames, kChunkFrames - at);
        for (std::size_t i = 0; i < 2 * taken; ++i)
            stereo[i] = clipped(stereo[i] + chunk[2 * at + i]);
        stereo += 2 * taken;
        from += taken;
        frames -= taken;
    }
    return mixed;
}

bool MusicSynth::renderWhole(RenderedMusic &music, const std::atomic_bool *cancelled)
{
    fluid_player_t *player = m_fluid->player;
    if (!player)
        return false;
    fluid_player_play(player);
    std::vector<std::int16_t> block(2 * kWholeBlock);
    const auto renderBlock = [&] {
        std::fill(block.begin(), block.end(), 0);
        fluid_synth_write_s16(m_fluid->synth, kWholeBlock, block.data(), 0, 2, block.data(), 1, 2);
    };
    const auto givenUp = [cancelled] { return cancelled && cancelled->load(); };
    for (;;) {
        if (givenUp())
            return false;
        renderBlock();
        if (!music.append(block.data(), kWholeBlock))
            break;
        // The player says DONE only some seconds after the last event: the piece
        // ends when its tick reaches the last one.
        const int status = fluid_player_get_status(player);
        const int total = fluid_player_get_total_ticks(player);
        if (status == FLUID_PLAYER_DONE || (total > 0 && fluid_player_get_current_tick(player) >= total))
            break;
    }
    if (fluid_player_get_total_ticks(player) <= 0)
        return false;  // the player could not load the piece after all
    // The piece's end: what still sounds rings on, and is heard over the start of
    // the next time round, as when the player is sent back to it.
    int quietFrames = 0;
    const int longestTail = int(kLongestTailSeconds * m_ringFrames / kRingSeconds);
    // Room for the longest at once: grown as it goes, each move would hold two
    // copies beside the whole piece and the synthesizer, the most the game ever holds.
    music.tail.reserve(std::size_t(longestTail + kWholeBlock) * 2);
    for (int frames = 0; frames < longestTail && quietFrames < m_ringFrames; frames += kWholeBlock) {
        if (givenUp())
            return false;
        renderBlock();
        music.tail.insert(music.tail.end(), block.begin(), block.end());
        quietFrames = fluid_synth_get_active_voice_count(m_fluid->synth) > 0 ? 0 : quietFrames + kWholeBlock;
    }
    const auto lastSound = std::find_if(music.tail.rbegin(), music.tail.rend(), [](std::int16_t s) { return s != 0; });
    music.tail.resize(std::size_t(music.tail.rend() - lastSound + 1) / 2 * 2);
    music.tail.shrink_to_fit();
    music.done.store(true, std::memory_order_release);
    return true;
}

MusicPlayback::MusicPlayback(QString soundFont, int sampleRate)
    : m_soundFont(QFileInfo(soundFont).isFile() ? std::move(soundFont) : QString())
    , m_rate(sampleRate)
{
}

MusicPlayback::~MusicPlayback()
{
    stopRendering();
}

bool MusicPlayback::openFile(const QString &path)
{
    return open(m_soundFont.isEmpty() ? QByteArray() : readPlayableMidi(path));
}

bool MusicPlayback::open(QByteArray midi)
{
    stopRendering();
    if (!isPlayableMidi(midi))
        midi.clear();
    std::lock_guard lock(m_mutex);
    m_open = !midi.isEmpty() && !m_soundFont.isEmpty();
    m_music = m_open ? std::make_unique<RenderedMusic>() : nullptr;
    m_broken = false;
    m_playing = false;
    m_at = 0;
    m_tailAt = kNoTail;
    ++m_generation;
    if (m_open) {
        m_renderer = std::thread([this, midi = std::move(midi), music = m_music.get(), generation = m_generation] {
            render(midi, music, generation);
        });
    }
    return m_open;
}

void MusicPlayback::render(QByteArray midi, RenderedMusic *music, std::uint64_t generation)
{
    setpriority(PRIO_PROCESS, id_t(gettid()), kRendererNice);
    bool whole = false;
    {
        // The synthesizer and the soundfont's samples go once it is done.
        const std::unique_ptr<MusicSynth> synth = MusicSynth::create(m_soundFont, m_rate);
        whole = synth && synth->open(midi) && synth->renderWhole(*music, &m_renderCancelled);
    }
    std::lock_guard lock(m_mutex);
    if (!whole && generation == m_generation && !m_renderCancelled)
        m_broken = true;
}

void MusicPlayback::stopRendering()
{
    if (!m_renderer.joinable())
        return;
    m_renderCancelled = true;
    m_renderer.join();
    m_renderCancelled = false;
}

void MusicPlayback::close()
{
    stopRendering();
    std::lock_guard lock(m_mutex);
    m_music.reset();
    m_open = m_playing = false;
    ++m_generation;
}

bool MusicPlayback::play()
{
    std::lock_guard lock(m_mutex);
    m_playing = m_open && !m_broken;
    return m_playing;
}

void MusicPlayback::seekToStart()
{
    std::lock_guard lock(m_mutex);
    if (!m_open || m_broken)
        return;
    // What rang on from the end carries on over the start; mid-piece there is none.
    if (!m_music->done || m_at < m_music->pieceFrames)
        m_tailAt = kNoTail;
    m_at = 0;
}

bool MusicPlayback::isPlaying() const
{
    std::lock_guard lock(m_mutex);
    return m_open && !m_broken && m_playing && (!m_music->done || m_at < m_music->pieceFrames);
}

std::chrono::milliseconds MusicPlayback::steadyFor() const
{
    std::lock_guard lock(m_mutex);
    if (!m_open || m_broken)
        return kUntilTold;
    if (!m_playing)
        return std::chrono::milliseconds::zero();
    // The rendering runs far ahead of what is heard, and ends well before the piece.
    if (!m_music->done)
        return kWhileRendering;
    const std::size_t left = m_music->pieceFrames - m_at;
    return std::chrono::milliseconds(std::int64_t(left) * 1000 / m_rate / 2);
}

bool MusicPlayback::rendered() const
{
    std::lock_guard lock(m_mutex);
    return !m_open || m_broken || m_music->done;
}

bool MusicPlayback::mix(std::int16_t *stereo, std::size_t frames)
{
    std::lock_guard lock(m_mutex);
    if (!m_open || !m_playing || m_broken)
        return false;
    const RenderedMusic &music = *m_music;
    // Still rendering: what is there plays, and the device stays open for the rest.
    // The piece starts once the rendering is well ahead, so that a renderer held
    // back by a busy machine for a moment is not heard.
    if (!music.done.load(std::memory_order_acquire)) {
        if (m_at > 0 || music.pieceFrames.load(std::memory_order_acquire) >= std::size_t(kLeadSeconds * m_rate))
            m_at += music.mixPiece(m_at, stereo, frames);
        return true;
    }
    const std::size_t tailFrames = std::min(frames, music.tailFrames() - std::min(m_tailAt, music.tailFrames()));
    for (std::size_t i = 0; i < 2 * tailFrames; ++i)
        stereo[i] = clipped(stereo[i] + music.tail[2 * m_tailAt + i]);
    m_tailAt += tailFrames;
    const std::size_t piece = music.mixPiece(m_at, stereo, frames);
    m_at += piece;
    // Past the end, what rings on is heard until the piece starts again.
    if (piece > 0 && m_at == music.pieceFrames)
        m_tailAt = 0;
    return piece > 0 || tailFrames > 0;
}
