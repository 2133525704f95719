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
    void push(float r) { m_draws.append(r); }
    void pushAll(std::initializer_list<float> draws) { m_draws.append(QList<float>(draws)); }
    void setFallback(float r) { m_fallback = r; }
    void setSeed(std::uint32_t seed) { m_seeded.emplace(seed); }
    float next() override;
    int taken() const { return m_taken; }
    qsizetype pending() const { return m_draws.size(); }

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

// Remembers what the sound device asked of it; music plays until told otherwise.
class RecordingBackend final : public AudioBackend
{
public:
    bool openMusic(const QString &path) override;
    void closeMusic() override { calls.append(QStringLiteral("closeMusic")); }
    void playMusic() override { calls.append(QStringLiteral("playMusic")); }
    void seekMusicToStart() override { calls.append(QStringLiteral("seekMusicToStart")); }
    bool isMusicPlaying() const override { return playing; }
    void playCry(const QString &path) override { calls.append(QStringLiteral("playCry ") + path); }

    QStringList calls;
    bool playing = true;
    bool openSucceeds = true;
};
