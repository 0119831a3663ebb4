#include "platform/TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Written by the signal handler, read by the notifier. Both ends are made once
// and live as long as the process.
int signalSocket[2] = {-1, -1};

extern "C" void onTerminationSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    // Non-blocking: with the socket full, a request is pending anyway.
    [[maybe_unused]] const ssize_t written = ::write(signalSocket[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

void installTerminationHandlers() {
    // A reader gone from the other end of stderr (or any pipe) is no reason to
    // end: the write fails instead, and the error box still appears.
    ::signal(SIGPIPE, SIG_IGN);
    if (signalSocket[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signalSocket) != 0)
        return; // the signals then keep their default action
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(signal, &action, nullptr);
}

TerminationNotifier::TerminationNotifier(QObject* parent) : QObject(parent) {
    if (signalSocket[1] < 0)
        return;
    m_notifier = new QSocketNotifier(signalSocket[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationNotifier::readPending);
}

void TerminationNotifier::readPending() {
    char bytes[16];
    bool any = false;
    while (::read(signalSocket[1], bytes, sizeof bytes) > 0)
        any = true;
    if (any)
        Q_EMIT terminationRequested();
}
