#pragma once

// The first paint of a widget, as the benchmarks time it; header only, so that
// bare_window links nothing but Qt.

#include <QEvent>
#include <QObject>

#include <ctime>
#include <functional>

inline long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Calls `painted` with the time (CLOCK_MONOTONIC, ns) of the first paint event
// `widget` gets while `ready` holds.
class FirstPaint : public QObject
{
public:
    FirstPaint(QObject *widget, std::function<bool()> ready, std::function<void(long long)> painted)
        : m_ready(std::move(ready))
        , m_painted(std::move(painted))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_painted && event->type() == QEvent::Paint && m_ready())
            std::exchange(m_painted, nullptr)(monotonicNs());
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> m_ready;
    std::function<void(long long)> m_painted;
};
