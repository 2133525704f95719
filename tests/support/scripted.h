#pragma once

#include "platform/messagebox.h"
#include "platform/random.h"
#include "platform/sounddevice.h"

#include <QList>
#include <QStringList>

#include <optional>

// Draws that a test sets out in advance; once they run out, a fixed value, or the
// draws of a seeded generator.
class ScriptedRandom final : public RandomSource
{
public:
    void pushAll(std::initializer_list<float> draws) { m_draws.append(QList<float>(draws)); }
    void setFallback(float r) { m_fallback = r; }
    void setSeed(std::uint32_t seed) { m_seeded.emplace(seed); }
    float next() override;
    int taken() const { return m_taken; }

private:
    QList<float> m_draws;
    float m_fallback = 0.0f;
    std::optional<ClockRandom> m_seeded;
    int m_taken = 0;
};

// Answers message boxes without showing them, and remembers what they said.
class ScriptedMessages final : public MessageBoxes
{
public:
    struct Shown
    {
        QString text;
        Buttons buttons;
    };
    int show(const QString &text, Buttons buttons) override;
    void pushAnswer(int answer) { m_answers.append(answer); }

    QList<Shown> shown;

private:
    QList<int> m_answers;
};

// Remembers what the sound device asked of it, in order. On its own, music plays
// until told otherwise; around another backend, that one plays and answers, unless
// told that the music stopped.
class RecordingBackend final : public AudioBackend
{
public:
    explicit RecordingBackend(std::unique_ptr<AudioBackend> inner = nullptr) : m_inner(std::move(inner)) {}
    bool openMusic(const QString &path) override
    {
        calls.append(QStringLiteral("openMusic ") + path);
        return !m_inner || m_inner->openMusic(path);
    }
    void closeMusic() override { pass(u"closeMusic", &AudioBackend::closeMusic); }
    void playMusic() override { pass(u"playMusic", &AudioBackend::playMusic); }
    void seekMusicToStart() override { pass(u"seekMusicToStart", &AudioBackend::seekMusicToStart); }
    bool isMusicPlaying() const override
    {
        calls.append(QStringLiteral("isMusicPlaying"));
        return playing && (!m_inner || m_inner->isMusicPlaying());
    }
    void playCry(const QString &path) override
    {
        calls.append(QStringLiteral("playCry ") + path);
        if (m_inner)
            m_inner->playCry(path);
    }
    std::chrono::milliseconds musicSteadyFor() const override
    {
        return m_inner ? m_inner->musicSteadyFor() : std::chrono::milliseconds::zero();
    }

    mutable QStringList calls;  // the game's looks at the music too
    bool playing = true;

private:
    void pass(QStringView call, void (AudioBackend::*then)())
    {
        calls.append(call.toString());
        if (m_inner)
            (m_inner.get()->*then)();
    }
    std::unique_ptr<AudioBackend> m_inner;
};
