#ifndef QUILLET_STORELINK_POLLINTERRUPTER_H
#define QUILLET_STORELINK_POLLINTERRUPTER_H

#include <stdsoap2.h>

#include <mutex>

namespace com { namespace corvane { namespace vesk {

// Ends the receiver's blocked long poll from another thread. The receiver's
// SOAP contexts report the socket they open and close through hooks; the
// socket is recorded and cleared under a lock, so shutdown() never hits a
// socket number that has been closed and reused. Shutting the socket down
// wakes the blocked receive at once; closing it from another thread would not.
class PollInterrupter {
public:
    PollInterrupter() = default;
    PollInterrupter(const PollInterrupter&) = delete;
    PollInterrupter& operator=(const PollInterrupter&) = delete;

    // Routes the context's socket opening and closing through this object.
    void attach(struct soap* soap);
    // Ends the poll in progress, if any; later polls run normally.
    void interrupt();
    // Ends the poll in progress and every poll that connects afterwards,
    // until rearm().
    void stop();
    void rearm();

private:
    static SOAP_SOCKET onOpen(struct soap* soap, const char* endpoint, const char* host, int port);
    static int onClose(struct soap* soap);
    static int onCloseSocket(struct soap* soap, SOAP_SOCKET socket);
    void shutdownLocked();

    std::recursive_mutex m_mutex;
    SOAP_SOCKET m_socket = SOAP_INVALID_SOCKET;
    bool m_stopped = false;
    SOAP_SOCKET (*m_open)(struct soap*, const char*, const char*, int) = nullptr;
    int (*m_close)(struct soap*) = nullptr;
    int (*m_closeSocket)(struct soap*, SOAP_SOCKET) = nullptr;
};

}}}  // namespace com::corvane::vesk

#endif
