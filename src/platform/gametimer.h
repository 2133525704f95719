#pragma once

#include <QObject>
#include <QTimer>

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
    int period() const { return m_timer.interval(); }
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_timer.isActive(); }

signals:
    void timeout();

private:
    QTimer m_timer;
    int m_interval = 0;
};
