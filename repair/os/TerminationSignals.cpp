#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

namespace {

// The first signal that came; 0 while none has. An exit status tells which it was.
std::atomic<int> Received{0};
int WakeUp[2] = {-1, -1};
const int Caught[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int signal)
{
    int none = 0;
    Received.compare_exchange_strong(none, signal);
    const char byte = 1;
    // Nothing more may be done inside a signal handler; the event loop does the rest.
    [[maybe_unused]] const ssize_t written = ::write(WakeUp[1], &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    if (WakeUp[0] < 0 && ::pipe2(WakeUp, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(WakeUp[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(WakeUp[0], bytes, sizeof bytes) > 0) {
        }
        emit arrived();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : Caught)
        ::sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    for (int signal : Caught)
        std::signal(signal, SIG_DFL);
    Received = 0;
}

bool TerminationSignals::received()
{
    return Received != 0;
}

int TerminationSignals::receivedSignal()
{
    return Received;
}
