#include "startup/OVTerminationSignals.h"

#include <QtGlobal>

#ifndef Q_OS_WIN
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace {

int gSignalSockets[2] = {-1, -1};

// Only what is safe in a signal handler: one byte into the socket.
void noteSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(gSignalSockets[0], &byte, 1);
}

}  // namespace

void onTerminationSignals(std::function<void()> handler) {
    if (gSignalSockets[0] >= 0 ||
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalSockets) != 0)
        return;
    auto* notifier =
        new QSocketNotifier(gSignalSockets[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [handler = std::move(handler)] {
                         char byte = 0;
                         [[maybe_unused]] const ssize_t read = ::read(gSignalSockets[1], &byte, 1);
                         handler();
                     });
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

#else

void onTerminationSignals(std::function<void()>) {}

#endif
