#include "app/ShutdownSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int pipeFds[2] = { -1, -1 };

extern "C" void onStopSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Nothing to do if the pipe is full: a stop is already pending.
    [[maybe_unused]] ssize_t written = ::write(pipeFds[1], &byte, 1);
    errno = savedErrno;
}

constexpr int StopSignals[] = { SIGTERM, SIGINT };

} // namespace

ShutdownSignals::ShutdownSignals(QObject *parent)
    : QObject(parent)
{
    if (pipeFds[0] < 0 && ::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ShutdownSignals::readPipe);

    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : StopSignals)
        ::sigaction(sig, &action, nullptr);
}

// The handler stays installed for the rest of the process: a stop request
// that arrives while the windows and the database are being taken down only
// writes its byte into the pipe, which nobody reads any more. Restoring the
// default action here would let a second request kill the process mid-way.
ShutdownSignals::~ShutdownSignals() = default;

void ShutdownSignals::readPipe()
{
    unsigned char byte = 0;
    int last = 0;
    while (::read(pipeFds[0], &byte, 1) == 1)
        last = byte;
    if (last != 0)
        emit shutdownRequested(last);
}
