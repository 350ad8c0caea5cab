#include "quitsignalhandler.h"

#include "storelink/dispatchersession.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
int s_socketPair[2] = {-1, -1};
int s_deadlinePipe[2] = {-1, -1};
std::atomic<int> s_signal{0};  // the first quit signal that arrived
}  // namespace

QuitSignalHandler::QuitSignalHandler(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_socketPair) != 0)
        return;
    m_notifier = new QSocketNotifier(s_socketPair[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignalHandler::onQuitRequest);

    // The deadline thread waits for the signal's byte; it lives to the end of
    // the process, so a teardown that hangs is bounded as well.
    if (::pipe2(s_deadlinePipe, O_CLOEXEC) == 0) {
        try {
            std::thread(&QuitSignalHandler::runDeadline, s_deadlinePipe[0]).detach();
        } catch (const std::system_error&) {
            ::close(s_deadlinePipe[0]);
            ::close(s_deadlinePipe[1]);
            s_deadlinePipe[0] = s_deadlinePipe[1] = -1;
        }
    }

    struct sigaction action = {};
    action.sa_handler = &QuitSignalHandler::onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

QuitSignalHandler::~QuitSignalHandler()
{
    // After a quit signal the handlers stay: the deadline still holds for the
    // rest of the teardown, and a second signal changes nothing.
    if (wasRequested())
        return;
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    for (int& fd : s_socketPair) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

bool QuitSignalHandler::wasRequested()
{
    return s_signal.load() != 0;
}

void QuitSignalHandler::onSignal(int signalNumber)
{
    // Only async-signal-safe calls: atomic stores and write().
    const int savedErrno = errno;
    int none = 0;
    const bool first = s_signal.compare_exchange_strong(none, signalNumber);
    com::corvane::vesk::DispatcherSession::abandonWaits();
    const char byte = 1;
    // A full socket only means a quit is pending already.
    [[maybe_unused]] ssize_t n = ::write(s_socketPair[0], &byte, 1);
    if (first && s_deadlinePipe[1] >= 0)
        n = ::write(s_deadlinePipe[1], &byte, 1);
    errno = savedErrno;
}

void QuitSignalHandler::runDeadline(int fd)
{
    char byte = 0;
    ssize_t n;
    while ((n = ::read(fd, &byte, 1)) < 0 && errno == EINTR) { }
    if (n != 1)
        return;
    timespec left{kDeadlineSeconds, 0};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) { }
    // Still here: the page or the service holds the GUI thread. End as the
    // signal's default action would have.
    const int signalNumber = s_signal.load();
    static const char message[]
        = "The program did not end within its time after a quit signal; ending it now\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message, sizeof message - 1);
    ::signal(signalNumber, SIG_DFL);
    ::kill(::getpid(), signalNumber);
    ::pause();
}

void QuitSignalHandler::onQuitRequest()
{
    char buffer[16];
    [[maybe_unused]] const ssize_t n = ::read(s_socketPair[1], buffer, sizeof buffer);
    emit quitRequested();
    QCoreApplication::exit(0);
}
