// quillet-dispatcher: a local dispatcher service to try a store build
// against. See ServiceOptions::usage().
#include "localdispatcher.h"
#include "messagelog.h"
#include "serviceoptions.h"
#include "soapDispatcherService.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

volatile std::sig_atomic_t s_stopRequested = 0;
std::atomic<int> s_activeWorkers{0};

void requestStop(int)
{
    s_stopRequested = 1;
}

void installSignalHandlers()
{
    struct sigaction action { };
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void configure(struct soap* soap)
{
    soap->bind_flags = SO_REUSEADDR;
    soap->socket_flags = MSG_NOSIGNAL;
    soap->accept_timeout = -200000;  // wake five times a second to see a stop
    soap->recv_timeout = 10;         // a request must arrive in time ...
    soap->send_timeout = 10;
    soap->recv_maxlength = 4 * 1024 * 1024;  // ... and stay small
}

// The port actually bound: the one asked for, or the free one picked for 0.
int boundPort(SOAP_SOCKET master)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(master, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return -1;
    return ntohs(address.sin_port);
}

void serve(DispatcherService* worker)
{
    worker->serve();
    worker->destroy();
    delete worker;
    --s_activeWorkers;
}

void waitForWorkers()
{
    for (int i = 0; i < 50 && s_activeWorkers.load() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

}  // namespace

int main(int argc, char** argv)
{
    ServiceOptions options;
    std::string error;
    if (!options.parse(std::vector<std::string>(argv + 1, argv + argc), error)) {
        std::fprintf(stderr, "quillet-dispatcher: %s\n\n%s", error.c_str(),
                     ServiceOptions::usage());
        return 2;
    }
    if (options.help) {
        std::fputs(ServiceOptions::usage(), stdout);
        return 0;
    }
    MessageLog log(options.logPath);
    if (!log.isOpen()) {
        std::fprintf(stderr, "quillet-dispatcher: cannot write %s\n", options.logPath.c_str());
        return 1;
    }
    installSignalHandlers();
    LocalDispatcher dispatcher(options, log);
    DispatcherService service(SOAP_C_UTFSTRING);
    configure(service.soap);
    service.soap->user = &dispatcher;
    if (!soap_valid_socket(service.bind("127.0.0.1", options.port, 64))) {
        std::fprintf(stderr, "quillet-dispatcher: cannot listen on 127.0.0.1:%d\n", options.port);
        return 1;
    }
    std::fprintf(stderr, "quillet-dispatcher: listening on http://127.0.0.1:%d/DispatcherProxy\n",
                 boundPort(service.soap->master));
    std::fflush(stderr);
    while (!s_stopRequested) {
        if (!soap_valid_socket(service.accept()))
            continue;  // time-out or a failed accept: look at the stop flag
        DispatcherService* worker = service.copy();
        if (!worker) {
            soap_force_closesock(service.soap);
            continue;
        }
        ++s_activeWorkers;
        std::thread(serve, worker).detach();
        service.soap->socket = SOAP_INVALID_SOCKET;  // the worker owns the connection
    }
    dispatcher.stop();
    waitForWorkers();
    std::fputs("quillet-dispatcher: stopped\n", stderr);
    return 0;
}
