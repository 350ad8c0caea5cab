#include "quitsignalhandler.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int s_socketPair[2] = {-1, -1};
}

QuitSignalHandler::QuitSignalHandler(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_socketPair) != 0)
        return;
    m_notifier = new QSocketNotifier(s_socketPair[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignalHandler::quitRequested);

    struct sigaction action = {};
    action.sa_handler = &QuitSignalHandler::onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

QuitSignalHandler::~QuitSignalHandler()
{
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    for (int& fd : s_socketPair) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void QuitSignalHandler::onSignal(int)
{
    const char byte = 1;
    // write() is async-signal-safe; a full pipe only means a quit is pending.
    [[maybe_unused]] const ssize_t n = ::write(s_socketPair[0], &byte, 1);
}

void QuitSignalHandler::quitRequested()
{
    char buffer[16];
    [[maybe_unused]] const ssize_t n = ::read(s_socketPair[1], buffer, sizeof buffer);
    QCoreApplication::exit(0);
}
