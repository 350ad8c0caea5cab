#include "storelink/dispatcherconnection.h"

#include "storelink/pollinterrupter.h"

#include <sys/socket.h>

namespace com { namespace corvane { namespace vesk {

DispatcherConnection::DispatcherConnection(const std::string& endpoint)
    : m_endpoint(endpoint), m_proxy(SOAP_C_UTFSTRING)
{
    configure(true);
}

DispatcherConnection::DispatcherConnection(const std::string& endpoint,
                                           PollInterrupter& interrupter)
    : m_endpoint(endpoint), m_proxy(SOAP_C_UTFSTRING)
{
    configure(false);
    interrupter.attach(m_proxy.soap);
}

DispatcherConnection::~DispatcherConnection()
{
    m_proxy.destroy();  // deserialised objects and temporary data
}

void DispatcherConnection::configure(bool bounded)
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
}

}}}  // namespace com::corvane::vesk
