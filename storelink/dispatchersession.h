#ifndef QUILLET_STORELINK_DISPATCHERSESSION_H
#define QUILLET_STORELINK_DISPATCHERSESSION_H

#include "storelink/inboundstore.h"
#include "storelink/pollinterrupter.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace com { namespace corvane { namespace vesk {

// The process-wide link to the dispatcher: session, subscription, receiver
// thread, sending messages and awaiting their replies.
//
// Result codes: 0 success, 1 link not open, 2 SOAP call failed, 3 status "1",
// 8 end event without begin, 9 no reply in time, -1 exception or thread
// failure.
class DispatcherSession {
public:
    static const char* const kReplyType;  // "application_service_status_response"

    static DispatcherSession& instance();
    // A link still open at process exit is closed, so the receiver is joined
    // and the service hears EndSession.
    ~DispatcherSession();

    // Session, subscription, receiver and service status check. Opening an
    // open link renews the session token and subscription only.
    int open();
    // UnsubscribeTopic, EndSession, receiver stopped and joined, state reset.
    // Over within kCloseBudget, or by the deadline of finishBy(), even when
    // the service has stopped answering.
    int close();
    static constexpr std::chrono::milliseconds kCloseBudget{2000};

    // Until the link is closed, every exchange ends (with 9 when no reply
    // came) by half the time left until deadline, and closing by deadline.
    void finishBy(std::chrono::steady_clock::time_point deadline);
    bool isOpen() const { return m_open.load() != 0; }

    // Sends a message of type with payload; correlationId receives its
    // SessionId.
    int sendMessage(const std::string& type, const std::string& payload,
                    std::string& correlationId);
    // Waits for the status reply with this SessionId, up to the reply time-out.
    int awaitReply(const std::string& correlationId);
    // sendMessage, then awaitReply when the send succeeded.
    int exchange(const std::string& type, const std::string& payload);
    // From now on every wait for a reply ends at once with 9, and a session
    // start tries no further port: the process is quitting. Safe inside a
    // signal handler.
    static void abandonWaits();

    // Set by a successful begin event, cleared on close.
    std::atomic<int>& begun() { return m_begun; }

    // The 36-character identifier text that payloads carry (36 blanks until
    // set and after close), and the seed of correlation identifiers.
    void setApplicationIdText(const std::string& text);
    std::string applicationIdBuffer() const;

    std::string token() const;
    std::string endpoint() const;
    int replyTimeoutRounds() const { return m_replyTimeout.load(); }
    int pollCount() const { return m_pollCount.load(); }
    InboundStore& inbound() { return m_inbound; }

private:
    DispatcherSession();
    int openLocked();
    int closeLocked();
    int startSession();
    int beginSessionAt(int port);
    int subscribe();
    int startReceiver();
    void receive();
    int pollOnce();
    using Deadline = std::chrono::steady_clock::time_point;
    void endSessionCalls(Deadline deadline);
    Deadline exchangeDeadline() const;

    std::mutex m_lifecycle;      // serialises open and close
    mutable std::mutex m_mutex;  // guards the texts below
    std::string m_token;
    std::string m_endpoint;
    std::string m_applicationIdText;
    std::string m_applicationIdBuffer;

    std::atomic<int> m_replyTimeout;
    std::atomic<int> m_open{0};
    std::atomic<int> m_begun{0};
    std::atomic<int> m_pollCount{0};
    std::atomic<int> m_lastPollResult{0};
    // steady_clock nanoseconds; 0: none
    std::atomic<long long> m_exchangeDeadline{0};
    std::atomic<long long> m_closeDeadline{0};
    std::thread m_receiver;
    std::atomic<int> m_receiverThreadId{0};  // kernel thread ID
    PollInterrupter m_interrupter;
    static std::atomic<int> s_waitsAbandoned;
    InboundStore m_inbound;
};

}}}  // namespace com::corvane::vesk

#endif
