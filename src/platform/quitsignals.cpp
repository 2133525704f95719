#include "platform/quitsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Written by the constructor before any handler is installed; the handler only reads it.
volatile sig_atomic_t writeEnd = -1;

extern "C" void onQuitSignal(int signal)
{
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full socket already holds a byte that wakes the loop: nothing is lost.
    if (::write(writeEnd, &number, 1) < 0) {
    }
    errno = savedErrno;
}

} // namespace

QuitSignals::QuitSignals(QObject *parent)
    : QObject(parent)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) != 0)
        return;
    m_read = ends[0];
    m_write = ends[1];
    writeEnd = m_write;
    m_notifier = new QSocketNotifier(m_read, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::readPending);

    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        sigaction(kSignals[i], &action, &m_previous[i]);
}

QuitSignals::~QuitSignals()
{
    if (!isActive())
        return;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        sigaction(kSignals[i], &m_previous[i], nullptr);
    writeEnd = -1;
    delete m_notifier;  // before its socket is closed
    ::close(m_write);
    ::close(m_read);
}

void QuitSignals::readPending()
{
    unsigned char number = 0;
    while (::read(m_read, &number, 1) == 1)
        emit received(number);
}
