#include "support/scripted.h"

float ScriptedRandom::next()
{
    ++m_taken;
    return m_draws.isEmpty() ? m_fallback : m_draws.takeFirst();
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
    return openSucceeds;
}
