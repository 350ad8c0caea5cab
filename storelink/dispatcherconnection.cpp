#include "storelink/dispatcherconnection.h"

#include "storelink/pollinterrupter.h"

#include <algorithm>
#include <sys/socket.h>

namespace com { namespace corvane { namespace vesk {

DispatcherConnection::DispatcherConnection(const std::string& endpoint, Deadline deadline)
    : m_endpoint(endpoint)
    , m_proxy(SOAP_C_UTFSTRING)
{
    configure(true, deadline);
}

DispatcherConnection::DispatcherConnection(const std::string& endpoint,
                                           PollInterrupter& interrupter)
    : m_endpoint(endpoint)
    , m_proxy(SOAP_C_UTFSTRING)
{
    configure(false);
    interrupter.attach(m_proxy.soap);
}

DispatcherConnection::~DispatcherConnection()
{
    m_proxy.destroy();  // deserialised objects and temporary data
}

namespace {

// A gSOAP time of at most seconds and at most left: negative values are
// microseconds. A deadline already passed leaves one millisecond.
int cutTo(int seconds, std::chrono::microseconds left)
{
    const long long us
        = std::max<long long>(1000, std::min<long long>(left.count(), seconds * 1000000LL));
    return -static_cast<int>(us);
}

}  // namespace

void DispatcherConnection::configure(bool bounded, Deadline deadline)
{
    struct soap* soap = m_proxy.soap;
    m_proxy.soap_endpoint = m_endpoint.c_str();
    soap->socket_flags = MSG_NOSIGNAL;  // a closed peer must not raise SIGPIPE
    soap->connect_timeout = kConnectSeconds;
    soap->send_timeout = kSendSeconds;
    soap->recv_timeout = bounded ? kReceiveSeconds : 0;
    soap->transfer_timeout = bounded ? kTransferSeconds : 0;
    soap->recv_maxlength = kMaxReplyBytes;
    soap->maxlength = static_cast<long>(kMaxReplyBytes);
    soap->maxlevel = kMaxReplyDepth;
    if (bounded && deadline != Deadline()) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        soap->connect_timeout = cutTo(kConnectSeconds, left);
        soap->send_timeout = cutTo(kSendSeconds, left);
        soap->recv_timeout = cutTo(kReceiveSeconds, left);
        soap->transfer_timeout = cutTo(kTransferSeconds, left);
    }
}

}}}  // namespace com::corvane::vesk
