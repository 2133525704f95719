#include "sound/musicsynth.h"

#include "sound/midifile.h"

#include <QFile>
#include <QFileInfo>

#include <fluidsynth.h>

#include <algorithm>

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
// Music synthesized in one go while the piece plays on, handed out a device
// buffer at a time: FluidSynth starts each call with cold caches, and the game's
// music costs a fifth less in one call of 0.75 s than in buffers of 12 ms. Only
// the restart of the loop could be late for it, and near the end of the piece
// (and while restarting or silent) it goes a buffer at a time.
constexpr double kAheadSeconds = 0.75;
// A rendering of the whole piece goes this many frames at a time: where the piece
// ends is known to within a block (12 ms), and the calls cost little more than
// longer ones.
constexpr int kWholeBlock = 256;
// What rings on past the last event is kept for at most this long.
constexpr double kLongestTailSeconds = 5;

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
    , m_quietFrames(m_ringFrames)  // nothing has sounded yet
    , m_aheadFrames(int(kAheadSeconds * sampleRate))
{
}

MusicSynth::~MusicSynth() = default;

bool MusicSynth::open(const QByteArray &midi)
{
    std::lock_guard lock(m_mutex);
    deletePlayer();
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
    // isPlayableMidi() has seen that the division counts ticks a quarter note.
    m_division = (uchar(midi[12]) << 8) | uchar(midi[13]);
    m_broken = false;
    m_restarting = false;
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

bool MusicSynth::openFile(const QString &path)
{
    const QByteArray midi = readPlayableMidi(path);
    if (midi.isEmpty()) {
        close();
        return false;
    }
    return open(midi);
}

void MusicSynth::close()
{
    std::lock_guard lock(m_mutex);
    deletePlayer();
}

void MusicSynth::deletePlayer()
{
    if (!m_fluid->player)
        return;
    fluid_player_stop(m_fluid->player);
    delete_fluid_player(m_fluid->player);
    m_fluid->player = nullptr;
    fluid_synth_all_sounds_off(m_fluid->synth, -1);
    m_restarting = false;
    m_totalTicks = 0;
}

void MusicSynth::play()
{
    std::lock_guard lock(m_mutex);
    if (!m_fluid->player || m_broken)
        return;
    fluid_player_play(m_fluid->player);
    m_restarting = true;
    m_requestedAt = m_renders;
}

void MusicSynth::seekToStart()
{
    std::lock_guard lock(m_mutex);
    if (!m_fluid->player || m_broken)
        return;
    // Taken up at the player's next callback; until then it still reports the end.
    fluid_player_seek(m_fluid->player, 0);
    m_restarting = true;
    m_requestedAt = m_renders;
}

bool MusicSynth::isPlaying()
{
    std::lock_guard lock(m_mutex);
    return playingLocked();
}

std::chrono::milliseconds MusicSynth::steadyFor()
{
    std::lock_guard lock(m_mutex);
    if (!m_fluid->player || m_broken)
        return std::chrono::milliseconds::max();
    if (!playingLocked() || m_restarting)
        return std::chrono::milliseconds::zero();
    const int total = totalTicksLocked();
    const int tempo = fluid_player_get_midi_tempo(m_fluid->player);  // microseconds a quarter note
    const double ticksLeft = total - fluid_player_get_current_tick(m_fluid->player);
    if (total <= 0 || tempo <= 0 || ticksLeft <= 0)
        return std::chrono::milliseconds::zero();
    return std::chrono::milliseconds(std::int64_t(ticksLeft * tempo / m_division / 1000 / 2));
}

bool MusicSynth::playingLocked()
{
    fluid_player_t *player = m_fluid->player;
    if (!player || m_broken)
        return false;
    const int status = fluid_player_get_status(player);
    const int total = totalTicksLocked();
    const int tick = fluid_player_get_current_tick(player);
    const bool rendered = m_renders > m_requestedAt;
    if (rendered && status == FLUID_PLAYER_DONE && total == 0) {
        // The player could not load the file after all: never hand it over again.
        m_broken = true;
        m_restarting = false;
        return false;
    }
    const bool ended = status == FLUID_PLAYER_READY || status == FLUID_PLAYER_DONE
                       || (total > 0 && tick >= total);
    if (m_restarting) {
        if (!rendered || !ended) {
            m_restarting = !rendered;
            return true;
        }
        // The player has had a callback and should have moved; give it one more,
        // then let the caller ask again rather than report playing for ever.
        if (m_renders - m_requestedAt < 2)
            return true;
        m_restarting = false;
    }
    return !ended;
}

bool MusicSynth::render(std::int16_t *stereo, int frames)
{
    std::lock_guard lock(m_mutex);
    bool sounds = false;
    while (frames > 0) {
        if (m_aheadAt == m_ahead.size())
            renderAhead(frames);
        const std::size_t samples = std::min(m_ahead.size() - m_aheadAt, std::size_t(2 * frames));
        std::copy_n(m_ahead.data() + m_aheadAt, samples, stereo);
        m_aheadAt += samples;
        stereo += samples;
        frames -= int(samples / 2);
        sounds = sounds || m_aheadSounds;
    }
    return sounds;
}

void MusicSynth::renderAhead(int frames)
{
    m_ahead.assign(std::size_t(std::max(1, m_aheadFrames / frames)) * 2 * frames, 0);
    m_aheadAt = 0;
    m_aheadSounds = false;
    std::size_t filled = 0;
    while (filled < m_ahead.size()) {
        std::int16_t *buffer = m_ahead.data() + filled;
        filled += std::size_t(2 * frames);
        if (mustRender(frames)) {
            fluid_synth_write_s16(m_fluid->synth, frames, buffer, 0, 2, buffer, 1, 2);
            ++m_renders;
            m_aheadSounds = true;
        }
        // Past the end, restarting, or silent: nothing to gain from going on.
        if (m_restarting || !m_fluid->player || !playingLocked())
            break;
    }
    m_ahead.resize(filled);
}

bool MusicSynth::mustRender(int frames)
{
    // A play or seek is taken up only when the player is called back.
    const bool active = m_restarting
                        || (m_fluid->player && fluid_player_get_status(m_fluid->player) == FLUID_PLAYER_PLAYING)
                        || fluid_synth_get_active_voice_count(m_fluid->synth) > 0;
    if (active)
        m_quietFrames = 0;
    else if (m_quietFrames < m_ringFrames)
        m_quietFrames += frames;
    else
        return false;
    return true;
}

void RenderedMusic::append(const std::int16_t *stereo, std::size_t frames)
{
    while (frames > 0) {
        if (piece.empty() || piece.back().size() == 2 * kChunkFrames) {
            piece.emplace_back();
            piece.back().reserve(2 * kChunkFrames);
        }
        const std::size_t taken = std::min(frames, kChunkFrames - piece.back().size() / 2);
        piece.back().insert(piece.back().end(), stereo, stereo + 2 * taken);
        stereo += 2 * taken;
        frames -= taken;
        pieceFrames += taken;
    }
}

void RenderedMusic::mixPiece(std::size_t from, std::int16_t *stereo, std::size_t frames) const
{
    frames = std::min(frames, pieceFrames - std::min(from, pieceFrames));
    while (frames > 0) {
        const std::vector<std::int16_t> &chunk = piece[from / kChunkFrames];
        const std::size_t at = from % kChunkFrames;
        const std::size_t taken = std::min(frames, kChunkFrames - at);
        for (std::size_t i = 0; i < 2 * taken; ++i)
            stereo[i] = clipped(stereo[i] + chunk[2 * at + i]);
        stereo += 2 * taken;
        from += taken;
        frames -= taken;
    }
}

bool MusicSynth::renderWhole(RenderedMusic &music, const std::atomic_bool *cancelled)
{
    std::lock_guard lock(m_mutex);
    fluid_player_t *player = m_fluid->player;
    if (!player || m_broken)
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
        music.append(block.data(), kWholeBlock);
        const int status = fluid_player_get_status(player);
        const int total = totalTicksLocked();
        if (status == FLUID_PLAYER_DONE || (total > 0 && fluid_player_get_current_tick(player) >= total))
            break;
    }
    if (totalTicksLocked() <= 0) {
        m_broken = true;  // the player could not load the piece after all
        return false;
    }
    // The piece's end: what still sounds rings on, and is heard over the start of
    // the next time round, as when the player is sent back to it.
    int quietFrames = 0;
    for (int frames = 0; frames < kLongestTailSeconds * m_ringFrames / kRingSeconds && quietFrames < m_ringFrames;
         frames += kWholeBlock) {
        if (givenUp())
            return false;
        renderBlock();
        music.tail.insert(music.tail.end(), block.begin(), block.end());
        quietFrames = fluid_synth_get_active_voice_count(m_fluid->synth) > 0 ? 0 : quietFrames + kWholeBlock;
    }
    const auto lastSound = std::find_if(music.tail.rbegin(), music.tail.rend(), [](std::int16_t s) { return s != 0; });
    music.tail.resize(std::size_t(music.tail.rend() - lastSound + 1) / 2 * 2);
    music.tail.shrink_to_fit();
    return true;
}

int MusicSynth::totalTicksLocked()
{
    if (m_totalTicks <= 0)
        m_totalTicks = fluid_player_get_total_ticks(m_fluid->player);
    return m_totalTicks;
}
