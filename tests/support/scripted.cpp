#include "support/scripted.h"

float ScriptedRandom::next()
{
    ++m_taken;
    if (!m_draws.isEmpty())
        return m_draws.takeFirst();
    return m_seeded ? m_seeded->next() : m_fallback;
}

int ScriptedMessages::show(const QString &text, Buttons buttons)
{
    shown.append({text, buttons});
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    return AnswerOk;
}

bool RecordingBackend::openMusic(const QString &path)
{
    calls.append(QStringLiteral("openMusic ") + path);
    return m_inner ? m_inner->openMusic(path) : openSucceeds;
}

void RecordingBackend::closeMusic()
{
    calls.append(QStringLiteral("closeMusic"));
    if (m_inner)
        m_inner->closeMusic();
}

void RecordingBackend::playMusic()
{
    calls.append(QStringLiteral("playMusic"));
    if (m_inner)
        m_inner->playMusic();
}

void RecordingBackend::seekMusicToStart()
{
    calls.append(QStringLiteral("seekMusicToStart"));
    if (m_inner)
        m_inner->seekMusicToStart();
}

bool RecordingBackend::isMusicPlaying() const
{
    calls.append(QStringLiteral("isMusicPlaying"));
    return playing && (!m_inner || m_inner->isMusicPlaying());
}

void RecordingBackend::playCry(const QString &path)
{
    calls.append(QStringLiteral("playCry ") + path);
    if (m_inner)
        m_inner->playCry(path);
}

std::chrono::milliseconds RecordingBackend::musicSteadyFor() const
{
    return m_inner ? m_inner->musicSteadyFor() : std::chrono::milliseconds::zero();
}
