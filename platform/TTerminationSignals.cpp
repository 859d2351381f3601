#include "platform/TTerminationSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
const int Handled[] = {SIGTERM, SIGINT};

// The pipe's writing end, for the handler; -1 while no object is installed.
std::atomic<int> WriteEnd{-1};

// Runs on whichever thread the signal interrupts: only async-signal-safe calls.
void OnSignal(int number)
{
    const int saved = errno;
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(WriteEnd.load(), &byte, 1);
    errno = saved;
}

bool SetAction(int number, void (*handler)(int), int flags)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    return ::sigaction(number, &action, nullptr) == 0;
}
} // namespace

TTerminationSignals::TTerminationSignals(QObject* parent)
    : QObject(parent)
{
    if (WriteEnd.load() >= 0 || ::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    WriteEnd.store(m_pipe[1]);
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TTerminationSignals::ReadPipe);
    for (const int number : Handled) {
        // Interrupted system calls go on; the handler is taken once, a second signal finds the default action.
        SetAction(number, OnSignal, SA_RESTART | SA_RESETHAND);
    }
}

TTerminationSignals::~TTerminationSignals()
{
    if (m_notifier == nullptr) {
        return;
    }
    for (const int number : Handled) {
        SetAction(number, SIG_DFL, 0);
    }
    WriteEnd.store(-1);
    delete m_notifier;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void TTerminationSignals::ReadPipe()
{
    char numbers[16];
    ssize_t count;
    while ((count = ::read(m_pipe[0], numbers, sizeof(numbers))) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            emit Received(numbers[i]);
        }
    }
}
