#pragma once

#include <QObject>

#include <array>
#include <csignal>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP, the ways a session, a terminal or a service
// manager asks a program to end, turned into an event of the event loop, so
// that the game can close as when the player closes it. The handler only
// writes the signal's number into a socket; `received` is emitted from the
// loop. Each handler catches one signal of its kind and then gives back the
// default: a second one ends a game that is stuck at once.
//
// One object at a time; the handling it found comes back when it is destroyed.
class QuitSignals final : public QObject
{
    Q_OBJECT
public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

    // False when the socket could not be made: the signals keep their handling.
    bool isActive() const { return m_notifier != nullptr; }

    static constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

signals:
    void received(int signal);

private:
    void readPending();

    int m_read = -1;
    int m_write = -1;
    QSocketNotifier *m_notifier = nullptr;
    std::array<struct sigaction, kSignals.size()> m_previous{};
};
