#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

// A timer that ticks as often as the platform allows when asked for less than the
// platform's minimum period, which we fix at the classic desktop resolution.
class GameTimer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMinimumPeriodMs = 15;

    explicit GameTimer(QObject *parent = nullptr);

    void setInterval(int ms);
    int interval() const { return m_interval; }
    // The period the timer really ticks at.
    int period() const;
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_timer.isActive(); }
    // Puts the next tick of a running timer off until `rest` from now when that
    // is longer than the period; the ticks after it come at the period again.
    // For a handler that knows nothing can change before then.
    void restFor(std::chrono::milliseconds rest);

signals:
    void timeout();

private:
    void tick();

    QTimer m_timer;
    int m_interval = 0;
    bool m_resting = false;
};
