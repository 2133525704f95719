#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct MidiProgram;

// A piece rendered once, as a device plays it: interleaved stereo 16-bit frames
// from its start to its last event, then what its voices and effects ring on
// after that. One thread renders while another plays what is there: the piece
// grows in chunks that never move, and each frame is published once written.
struct RenderedMusic
{
    static constexpr std::size_t kChunkFrames = std::size_t(1) << 16;
    // 12 minutes at 22.05 kHz; a longer piece is cut there.
    static constexpr std::size_t kMostChunks = 256;

    RenderedMusic() { piece.reserve(kMostChunks); }
    // False once full.
    bool append(const std::int16_t *stereo, std::size_t frames);
    // Adds frames of the piece from frame `from` to `stereo`, clipped, as far as
    // they are rendered; how many it added.
    std::size_t mixPiece(std::size_t from, std::int16_t *stereo, std::size_t frames) const;
    // Only once done.
    std::size_t tailFrames() const { return tail.size() / 2; }

    std::vector<std::unique_ptr<std::int16_t[]>> piece;
    std::atomic<std::size_t> pieceFrames{0};
    std::vector<std::int16_t> tail;
    std::atomic_bool done{false};  // the piece and the tail are whole
};

// A FluidSynth synthesizer and one MIDI player, which render a piece offline.
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
    // Plays the open piece from its start to its last event into `music`, then
    // until it has rung out; false when cancelled, or when nothing was played.
    bool renderWhole(RenderedMusic &music, const std::atomic_bool *cancelled = nullptr);

private:
    struct Fluid;
    MusicSynth(std::unique_ptr<Fluid> fluid, double sampleRate);
    void loadPresets(const QList<MidiProgram> &programs);

    std::unique_ptr<Fluid> m_fluid;
    const int m_ringFrames;  // how long reverb and chorus may go on after the last voice
};

// The music as a device plays it: a piece opened is rendered once, on a thread of
// its own behind everything else, and played from memory as far as it is
// rendered (the rendering runs far ahead of what is heard); the synthesizer and
// its soundfont go when it is whole. Every member may be called from any thread.
class MusicPlayback
{
public:
    static constexpr std::chrono::milliseconds kUntilTold = std::chrono::milliseconds::max();
    // How long a piece still rendering keeps playing at the least, once asked to.
    static constexpr std::chrono::milliseconds kWhileRendering{1000};

    MusicPlayback(QString soundFont, int sampleRate);
    ~MusicPlayback();

    MusicPlayback(const MusicPlayback &) = delete;
    MusicPlayback &operator=(const MusicPlayback &) = delete;

    // False without a soundfont, or for a missing or broken file: nothing is open then.
    bool openFile(const QString &path);
    bool open(QByteArray midi);
    void close();
    // False with nothing to play.
    bool play();
    void seekToStart();
    // Stopped once its last frame has been mixed; playing while it renders.
    bool isPlaying() const;
    // How long isPlaying() keeps its answer at the least unless told otherwise:
    // half of what is left of the piece, zero while stopped, kUntilTold with
    // nothing to play.
    std::chrono::milliseconds steadyFor() const;
    bool rendered() const;

    // Adds the device's next `frames` of music to `stereo`; true while something
    // sounds or is on its way, false once all has rung out.
    bool mix(std::int16_t *stereo, std::size_t frames);

private:
    void render(QByteArray midi, RenderedMusic *music, std::uint64_t generation);
    void stopRendering();

    const QString m_soundFont;  // empty: none
    const int m_rate;
    mutable std::mutex m_mutex;
    bool m_open = false;
    bool m_broken = false;  // opened, and found unplayable by the synthesizer
    std::uint64_t m_generation = 0;  // of the piece opened last: an older rendering is dropped
    std::unique_ptr<RenderedMusic> m_music;
    bool m_playing = false;  // asked to play, and not stopped since
    std::size_t m_at = 0;  // the next frame of the piece
    static constexpr std::size_t kNoTail = std::size_t(-1);
    std::size_t m_tailAt = kNoTail;  // of what rings on after the last time round
    std::atomic_bool m_renderCancelled{false};
    std::thread m_renderer;
};
