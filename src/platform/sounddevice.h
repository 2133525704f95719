#pragma once

#include <QString>

#include <chrono>
#include <memory>

// What the sound device drives: one piece of music and one-shot cries.
class AudioBackend
{
public:
    virtual ~AudioBackend() = default;

    // Loads a music file; false leaves no music open.
    virtual bool openMusic(const QString &path) = 0;
    virtual void closeMusic() = 0;
    virtual void playMusic() = 0;
    virtual void seekMusicToStart() = 0;
    virtual bool isMusicPlaying() const = 0;
    // Starts a cry at once, replacing one still playing; a missing file is silence.
    virtual void playCry(const QString &path) = 0;

    // How long isMusicPlaying() keeps its present answer at the least, unless
    // one of the calls above changes it: zero when the backend cannot tell,
    // kUntilTold when nothing else ever will.
    virtual std::chrono::milliseconds musicSteadyFor() const { return std::chrono::milliseconds::zero(); }
    // The device went away under it (its sound server ended): nothing it plays is
    // heard any more, and a new backend is needed for sound.
    virtual bool deviceLost() const { return false; }
    static constexpr std::chrono::milliseconds kUntilTold = std::chrono::milliseconds::max();
};

// No sound at all, and the stand-in for music no device plays: a file that is
// there opens, and plays in silence from when it is asked to until it is closed,
// so the game never restarts it.
class SilentBackend final : public AudioBackend
{
public:
    bool openMusic(const QString &path) override;
    void closeMusic() override { m_open = m_playing = false; }
    void playMusic() override { m_playing = m_open; }
    void seekMusicToStart() override {}
    bool isMusicPlaying() const override { return m_playing; }
    void playCry(const QString &) override {}
    std::chrono::milliseconds musicSteadyFor() const override { return kUntilTold; }

private:
    bool m_open = false;
    bool m_playing = false;
};

// The interpreter of the command strings the game sends to its music device, one
// device under the alias MIDI at a time, and of the cries.
class SoundDevice
{
public:
    explicit SoundDevice(std::unique_ptr<AudioBackend> backend);
    ~SoundDevice();

    // Carries out one command. Queries answer with a word ("playing", "stopped");
    // everything else, and any command that fails, answers with the empty text.
    QString sendString(const QString &command);
    void playWave(const QString &path);
    // How long the answer to "status MIDI mode" stays as it is at the least, if
    // no command comes: until told while no music is open.
    std::chrono::milliseconds statusSteadyFor() const;


private:
    QString execute(const QString &command);

    std::unique_ptr<AudioBackend> m_backend;
    bool m_open = false;
};
