#include "platform/gametimer.h"

#include <algorithm>
#include <climits>

GameTimer::GameTimer(QObject *parent)
    : QObject(parent)
    , m_timer(this)
{
    // Periods are a few tens of milliseconds and the game counts ticks to pace
    // its animations; a coarse timer's 5% slack would be a visible drift.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kMinimumPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, &GameTimer::tick);
}

void GameTimer::setInterval(int ms)
{
    m_interval = ms;
    m_resting = false;
    m_timer.setInterval(period());
}

int GameTimer::period() const
{
    return std::max(m_interval, kMinimumPeriodMs);
}

void GameTimer::setEnabled(bool enabled)
{
    // Enabling a running timer leaves its countdown alone.
    if (!enabled) {
        m_timer.stop();
        m_resting = false;
    } else if (!m_timer.isActive()) {
        m_timer.start(period());
    }
}

void GameTimer::restFor(std::chrono::milliseconds rest)
{
    if (!m_timer.isActive() || rest.count() <= period())
        return;
    m_timer.start(int(std::min<std::chrono::milliseconds::rep>(rest.count(), INT_MAX)));
    m_resting = true;
}

void GameTimer::tick()
{
    if (m_resting) {
        m_resting = false;
        m_timer.setInterval(period());
    }
    emit timeout();
}
