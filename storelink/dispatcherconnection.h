#ifndef QUILLET_STORELINK_DISPATCHERCONNECTION_H
#define QUILLET_STORELINK_DISPATCHERCONNECTION_H

#include "soapDispatcherProxy.h"

#include <chrono>
#include <string>

namespace com { namespace corvane { namespace vesk {

class PollInterrupter;

// One fresh SOAP runtime context for one call to the dispatcher, released
// (objects, temporary data, context) when it goes out of scope.
//
// Every call has bounded connect, send and receive times, so a service that
// accepts and never answers cannot hold the caller; only the long poll waits
// for the service without limit, and it is ended by its PollInterrupter. A
// reply may not exceed a fixed size and nesting depth, so a broken or hostile
// service cannot exhaust memory.
class DispatcherConnection {
public:
    static constexpr int kConnectSeconds = 5;
    static constexpr int kSendSeconds = 5;
    static constexpr int kReceiveSeconds = 5;
    static constexpr int kTransferSeconds = 10;
    static constexpr unsigned long kMaxReplyBytes = 1024 * 1024;
    static constexpr unsigned kMaxReplyDepth = 32;

    using Deadline = std::chrono::steady_clock::time_point;

    // A bounded call to endpoint; with a deadline (not Deadline()) every
    // time of the call is cut to what is left until then.
    explicit DispatcherConnection(const std::string& endpoint, Deadline deadline = Deadline());
    // A long poll: receive time unbounded, ended through interrupter.
    DispatcherConnection(const std::string& endpoint, PollInterrupter& interrupter);
    ~DispatcherConnection();
    DispatcherConnection(const DispatcherConnection&) = delete;
    DispatcherConnection& operator=(const DispatcherConnection&) = delete;

    DispatcherProxy& proxy() { return m_proxy; }

private:
    void configure(bool bounded, Deadline deadline = Deadline());

    std::string m_endpoint;
    DispatcherProxy m_proxy;
};

}}}  // namespace com::corvane::vesk

#endif
