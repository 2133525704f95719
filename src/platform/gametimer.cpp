#include "platform/gametimer.h"

#include <algorithm>

GameTimer::GameTimer(QObject *parent)
    : QObject(parent)
    , m_timer(this)
{
    // Periods are a few tens of milliseconds and the game counts ticks to pace
    // its animations; a coarse timer's 5% slack would be a visible drift.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kMinimumPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, &GameTimer::timeout);
}

void GameTimer::setInterval(int ms)
{
    m_interval = ms;
    m_timer.setInterval(std::max(ms, kMinimumPeriodMs));
}

void GameTimer::setEnabled(bool enabled)
{
    // Enabling a running timer leaves its countdown alone.
    if (!enabled)
        m_timer.stop();
    else if (!m_timer.isActive())
        m_timer.start();
}
