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
