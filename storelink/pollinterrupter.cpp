#include "storelink/pollinterrupter.h"

#include <sys/socket.h>

namespace com { namespace corvane { namespace vesk {

void PollInterrupter::attach(struct soap* soap)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (soap->fopen == &PollInterrupter::onOpen)
        return;  // attached already
    // Every fresh context starts with the same socket functions of the runtime.
    m_open = soap->fopen;
    m_close = soap->fclose;
    m_closeSocket = soap->fclosesocket;
    soap->user = this;
    soap->fopen = &PollInterrupter::onOpen;
    soap->fclose = &PollInterrupter::onClose;
    soap->fclosesocket = &PollInterrupter::onCloseSocket;
}

void PollInterrupter::interrupt()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    shutdownLocked();
}

void PollInterrupter::stop()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_stopped = true;
    shutdownLocked();
}

void PollInterrupter::rearm()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_stopped = false;
}

void PollInterrupter::shutdownLocked()
{
    if (soap_valid_socket(m_socket))
        ::shutdown(m_socket, SHUT_RDWR);
}

SOAP_SOCKET PollInterrupter::onOpen(struct soap* soap, const char* endpoint, const char* host,
                                    int port)
{
    auto* self = static_cast<PollInterrupter*>(soap->user);
    // Connecting is bounded by the context's connect time-out; no lock held.
    SOAP_SOCKET socket = self->m_open(soap, endpoint, host, port);
    std::lock_guard<std::recursive_mutex> lock(self->m_mutex);
    self->m_socket = socket;
    if (self->m_stopped)
        self->shutdownLocked();
    return socket;
}

int PollInterrupter::onClose(struct soap* soap)
{
    auto* self = static_cast<PollInterrupter*>(soap->user);
    std::lock_guard<std::recursive_mutex> lock(self->m_mutex);
    self->m_socket = SOAP_INVALID_SOCKET;
    return self->m_close(soap);
}

int PollInterrupter::onCloseSocket(struct soap* soap, SOAP_SOCKET socket)
{
    auto* self = static_cast<PollInterrupter*>(soap->user);
    std::lock_guard<std::recursive_mutex> lock(self->m_mutex);
    if (socket == self->m_socket)
        self->m_socket = SOAP_INVALID_SOCKET;
    return self->m_closeSocket(soap, socket);
}

}}}  // namespace com::corvane::vesk
