#include "storelink/dispatchersession.h"

#include "platform/faulthandler.h"
#include "storelink/correlationid.h"
#include "storelink/dispatcherconnection.h"
#include "storelink/eventpayload.h"
#include "storelink/linksettings.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <new>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace com { namespace corvane { namespace vesk {

const char* const DispatcherSession::kReplyType = "application_service_status_response";
std::atomic<int> DispatcherSession::s_waitsAbandoned{0};

namespace {

const std::string kBlankId(36, ' ');
const char kSubscriptionTopic[] = "target://Appstore/service/ApplicationLibrary";
const char kServiceTopic[] = "target://appstore/service/ApplicationService";
const char kMessageId[] = "12345678-9012-3456-7890-123456789012";
const char kStatusRequestType[] = "application_service_status_request";

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

using Clock = std::chrono::steady_clock;

long long toNanoseconds(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

Clock::time_point fromNanoseconds(long long ns)
{
    return ns ? Clock::time_point(std::chrono::nanoseconds(ns)) : Clock::time_point();
}

}  // namespace

DispatcherSession& DispatcherSession::instance()
{
    static DispatcherSession session;
    return session;
}

DispatcherSession::DispatcherSession()
    : m_token(kBlankId)
    , m_applicationIdBuffer(kBlankId)
    , m_replyTimeout(300)
{
}

DispatcherSession::~DispatcherSession()
{
    close();
}

int DispatcherSession::open()
{
    std::lock_guard<std::mutex> lock(m_lifecycle);
    try {
        return openLocked();
    } catch (...) {
        return -1;
    }
}

int DispatcherSession::close()
{
    std::lock_guard<std::mutex> lock(m_lifecycle);
    return closeLocked();
}

int DispatcherSession::openLocked()
{
    int result = startSession();
    if (result != 0)
        return result;
    result = subscribe();
    if (result != 0)
        return result;  // the dispatcher keeps the session; no EndSession
    if (isOpen()) {
        // The receiver may be held in a poll for the old token: end it, so
        // it polls again with the new one.
        m_interrupter.interrupt();
        return 0;
    }
    try {
        m_open = 1;
        result = startReceiver();
        if (result != 0) {
            closeLocked();
            return result;
        }
        sleepMs(500);
        // A count of 1: the receiver sits in its first poll, the service is
        // alive; ask for its status.
        if (m_pollCount.load() == 1)
            result = exchange(kStatusRequestType, EventPayload::statusRequest());
        else
            result = m_lastPollResult.load();
    } catch (...) {
        result = -1;
    }
    if (result != 0)
        closeLocked();
    return result;
}

int DispatcherSession::closeLocked()
{
    if (!isOpen())
        return 1;
    try {
        m_open = 0;
        const long long limit = m_closeDeadline.load();
        endSessionCalls(limit ? fromNanoseconds(limit) : Clock::now() + kCloseBudget);
        // Wake a poll the service may hold forever, then wait for the thread.
        m_interrupter.stop();
        // A receiver that faulted waits in the fault handler for good.
        const int receiverId = m_receiverThreadId.load();
        if (m_receiver.joinable() && receiverId != 0
            && receiverId == platform::FaultHandler::faultingThread())
            m_receiver.detach();
        if (m_receiver.joinable())
            m_receiver.join();
        m_inbound.clear();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_token = kBlankId;
            m_applicationIdBuffer = kBlankId;
        }
        m_begun = 0;
        m_lastPollResult = 0;
        m_pollCount = 0;
        m_exchangeDeadline = 0;
        m_closeDeadline = 0;
        return 0;
    } catch (...) {
        return -1;
    }
}

int DispatcherSession::startSession()
{
    m_replyTimeout = LinkSettings::replyTimeoutRounds();
    if (beginSessionAt(LinkSettings::dispatcherPort()) == 0)
        return 0;
    for (int port : LinkSettings::fallbackPorts()) {
        if (s_waitsAbandoned.load() == 0 && beginSessionAt(port) == 0)
            return 0;
    }
    return 2;
}

int DispatcherSession::beginSessionAt(int port)
{
    const std::string endpoint = LinkSettings::endpoint(port);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_endpoint = endpoint;
    }
    DispatcherConnection call(endpoint);
    _ns1__BeginSessionResponse response;
    if (call.proxy().BeginSession(&response) != SOAP_OK || !response.Response)
        return 2;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_token = response.Response->Token;
    return 0;
}

int DispatcherSession::subscribe()
{
    const std::string token = this->token();
    DispatcherConnection call(endpoint());
    ns3__SubscriptionType subscription;
    subscription.Token = token;
    subscription.Topic = kSubscriptionTopic + token;
    _ns1__SubscribeTopic request;
    request.Request = &subscription;
    _ns1__SubscribeTopicResponse response;
    return call.proxy().SubscribeTopic(&request, &response) == SOAP_OK ? 0 : 2;
}

void DispatcherSession::finishBy(std::chrono::steady_clock::time_point deadline)
{
    const Clock::time_point now = Clock::now();
    m_exchangeDeadline = toNanoseconds(now + (deadline - now) / 2);
    m_closeDeadline = toNanoseconds(deadline);
}

DispatcherSession::Deadline DispatcherSession::exchangeDeadline() const
{
    return fromNanoseconds(m_exchangeDeadline.load());
}

// A hung service gets half the time for each call, so EndSession is sent
// whatever became of UnsubscribeTopic.
void DispatcherSession::endSessionCalls(Deadline deadline)
{
    const std::string token = this->token();
    {
        DispatcherConnection call(endpoint(), Clock::now() + (deadline - Clock::now()) / 2);
        ns3__SubscriptionType subscription;
        subscription.Token = token;
        // The subscription topic with the token appended once more.
        subscription.Topic = kSubscriptionTopic + token + token;
        _ns1__UnsubscribeTopic request;
        request.Request = &subscription;
        _ns1__UnsubscribeTopicResponse response;
        call.proxy().UnsubscribeTopic(&request, &response);
    }
    DispatcherConnection call(endpoint(), deadline);
    ns3__TokenType session;
    session.Token = token;
    _ns1__EndSession request;
    request.Request = &session;
    _ns1__EndSessionResponse response;
    call.proxy().EndSession(&request, &response);
}

int DispatcherSession::startReceiver()
{
    if (m_receiver.joinable())
        m_receiver.join();
    m_interrupter.rearm();
    try {
        m_receiver = std::thread(&DispatcherSession::receive, this);
    } catch (const std::system_error&) {
        return -1;
    }
    return 0;
}

void DispatcherSession::receive()
{
    // Its own signal stack, so that a stack overflow here is reported too;
    // its name tells it apart in a debugger and in /proc.
    platform::FaultHandler::prepareThread();
    pthread_setname_np(pthread_self(), "store-link");
    m_receiverThreadId = static_cast<int>(syscall(SYS_gettid));
    while (isOpen()) {
        sleepMs(20);
        ++m_pollCount;
        const int result = pollOnce();
        ++m_pollCount;
        m_lastPollResult = result;
    }
}

int DispatcherSession::pollOnce()
{
    try {
        DispatcherConnection call(endpoint(), m_interrupter);
        ns3__TokenType session;
        session.Token = token();
        _ns1__GetMessage request;
        request.Request = &session;
        _ns1__GetMessageResponse response;
        if (call.proxy().GetMessage(&request, &response) != SOAP_OK)
            return 2;
        if (const ns3__LocalMessageType* m = response.Response) {
            InboundMessage message;
            message.token = m->Token;
            message.topic = m->Topic;
            message.replyTopic = m->ReplyTopic;
            message.type = m->Type;
            message.priority = m->Priority;
            message.sessionId = m->SessionId;
            message.messageId = m->MessageId;
            message.payload = m->Payload ? m->Payload : "";
            m_inbound.insert(message);
        }
        return 0;
    } catch (...) {
        return -1;
    }
}

int DispatcherSession::sendMessage(const std::string& type, const std::string& payload,
                                   std::string& correlationId)
{
    try {
        std::string seed;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            seed = m_applicationIdText;
        }
        const std::string token = this->token();
        DispatcherConnection call(endpoint(), exchangeDeadline());
        ns3__LocalMessageType message;
        message.Token = token;
        message.Topic = kServiceTopic;
        message.ReplyTopic = kSubscriptionTopic + token;
        message.Type = type;
        message.Priority = 0;
        message.SessionId = CorrelationId::next(seed);
        message.MessageId = kMessageId;
        message.Payload = soap_strdup(call.proxy().soap, payload.c_str());
        if (!message.Payload) {
            std::fputs("Insufficient Memory", stderr);
            return -1;
        }
        _ns1__SendMessage request;
        request.Request = &message;
        _ns1__SendMessageResponse response;
        // The reply may come before the send returns: keep it from now on.
        m_inbound.expect(message.SessionId);
        if (call.proxy().SendMessage(&request, &response) != SOAP_OK) {
            m_inbound.endWait(message.SessionId);
            return 2;
        }
        correlationId = message.SessionId;
        return 0;
    } catch (const std::bad_alloc&) {
        std::fputs("Insufficient Memory", stderr);
        return -1;
    } catch (...) {
        return -1;
    }
}

int DispatcherSession::awaitReply(const std::string& correlationId)
{
    // Replies to this identifier are kept while the wait lasts, and dropped
    // after it.
    struct Wait {
        InboundStore& store;
        const std::string& id;
        ~Wait() { store.endWait(id); }
    } wait{m_inbound, correlationId};
    try {
        if (!correlationId.empty())
            m_inbound.expect(correlationId);
        const int rounds = m_replyTimeout.load();
        const Deadline deadline = exchangeDeadline();
        for (int round = 0; round < rounds && !s_waitsAbandoned.load(); ++round) {
            if (deadline != Deadline() && Clock::now() >= deadline)
                break;
            for (const InboundMessage& m : m_inbound.snapshot()) {
                if (correlationId.empty() || m.sessionId != correlationId || m.type != kReplyType)
                    continue;
                const int result = EventPayload::statusResult(m.payload);
                m_inbound.remove(m.sessionId, m.type);
                return result;
            }
            auto pause = std::chrono::milliseconds(100);
            if (deadline != Deadline())
                pause = std::min(
                    pause, std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()));
            std::this_thread::sleep_for(pause);
        }
        return 9;
    } catch (...) {
        return -1;
    }
}

void DispatcherSession::abandonWaits()
{
    s_waitsAbandoned.store(1);
}

int DispatcherSession::exchange(const std::string& type, const std::string& payload)
{
    // A payload that could not be built is not sent; the wait then finds no
    // reply and ends with 9.
    if (payload.empty())
        return awaitReply(std::string());
    std::string correlationId;
    const int result = sendMessage(type, payload, correlationId);
    return result == 0 ? awaitReply(correlationId) : result;
}

void DispatcherSession::setApplicationIdText(const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_applicationIdText = text;
    m_applicationIdBuffer = text;
    m_applicationIdBuffer.resize(36, ' ');
}

std::string DispatcherSession::applicationIdBuffer() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_applicationIdBuffer;
}

std::string DispatcherSession::token() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_token;
}

std::string DispatcherSession::endpoint() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_endpoint;
}

}}}  // namespace com::corvane::vesk
