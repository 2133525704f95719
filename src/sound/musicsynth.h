#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

struct MidiProgram;

// A piece rendered once, as a device plays it: interleaved stereo 16-bit frames
// from its start to its last event, in chunks so that it grows without copying,
// and what its voices and effects ring on after that.
struct RenderedMusic
{
    static constexpr std::size_t kChunkFrames = std::size_t(1) << 16;
    std::vector<std::vector<std::int16_t>> piece;
    std::size_t pieceFrames = 0;
    std::vector<std::int16_t> tail;

    void append(const std::int16_t *stereo, std::size_t frames);
    // Adds `frames` of the piece from frame `from` to `stereo`, clipped.
    void mixPiece(std::size_t from, std::int16_t *stereo, std::size_t frames) const;
    std::size_t tailFrames() const { return tail.size() / 2; }
};

// The background music: a FluidSynth synthesizer and one MIDI player, rendered by
// whoever pulls samples (the audio device's thread, or a test rendering offline).
// Every member may be called from any thread; they are serialised internally so
// that the player is never changed while the synth renders.
class MusicSynth
{
public:
    // Null when the soundfont cannot be read. Only the samples of the presets a
    // piece uses are read into memory.
    static std::unique_ptr<MusicSynth> create(const QString &soundFont, double sampleRate);
    ~MusicSynth();

    MusicSynth(const MusicSynth &) = delete;
    MusicSynth &operator=(const MusicSynth &) = delete;

    // Takes a piece of music (the bytes of a MIDI file), replacing any before it;
    // false for bytes that are no playable MIDI file, and then nothing is open.
    bool open(const QByteArray &midi);
    // Reads and opens a file; false for a missing or broken one.
    bool openFile(const QString &path);
    void close();
    void play();
    void seekToStart();
    // Stopped once the last event has passed (the player itself says so only about
    // three seconds later); playing again as soon as a play or seek was asked for.
    bool isPlaying();
    // How long isPlaying() keeps its present answer at the least unless told
    // otherwise: half of what is left of the piece at its present tempo (it may
    // quicken), zero while stopped or restarting, for ever with nothing to play.
    std::chrono::milliseconds steadyFor();

    // Interleaved stereo, a device's short buffer at a time. Once nothing plays
    // and the effects have rung out, the synth is left alone and the buffer is
    // silence: false then. While the piece plays on, a few such buffers are
    // synthesized back to back and handed out one by one (it costs a good deal
    // less than one at a time), so the player runs that much ahead of what is
    // heard; from the piece's end until it is restarted, one at a time, so a
    // restart is heard as soon as ever.
    bool render(std::int16_t *stereo, int frames);

    // Plays the open piece from its start to its last event into `music`, then
    // until it has rung out; false when cancelled, or when nothing was played.
    bool renderWhole(RenderedMusic &music, const std::atomic_bool *cancelled = nullptr);

private:
    struct Fluid;
    MusicSynth(std::unique_ptr<Fluid> fluid, double sampleRate);
    void deletePlayer();
    void loadPresets(const QList<MidiProgram> &programs);
    bool playingLocked();
    int totalTicksLocked();
    bool mustRender(int frames);
    void renderAhead(int frames);

    std::mutex m_mutex;
    std::unique_ptr<Fluid> m_fluid;
    bool m_broken = false;      // the player could not load what it was given
    bool m_restarting = false;  // a seek or play not yet taken up by the player
    std::uint64_t m_renders = 0;
    std::uint64_t m_requestedAt = 0;  // m_renders when the last seek or play came
    int m_division = 0;  // ticks a quarter note
    int m_ringFrames = 0;  // how long reverb and chorus may go on after the last voice
    int m_quietFrames = 0;  // how long there has been no voice
    // The player counts the ticks of every track on each call; the count stays
    // the same once it has read the piece.
    int m_totalTicks = 0;
    int m_aheadFrames = 0;  // how much music a render synthesizes ahead while it plays on
    // Synthesized for the device and not yet handed out.
    std::vector<std::int16_t> m_ahead;
    std::size_t m_aheadAt = 0;
    bool m_aheadSounds = false;
};
