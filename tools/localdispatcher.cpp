#include "localdispatcher.h"

#include <cstdio>
#include <random>

namespace {

const char kReplyType[] = "application_service_status_response";
// How often a held poll looks whether its client has gone.
const auto kPollCheck = std::chrono::milliseconds(100);

}  // namespace

LocalDispatcher::LocalDispatcher(const ServiceOptions& options, MessageLog& log)
    : m_options(options)
    , m_log(log)
{
}

std::string LocalDispatcher::newGuid()
{
    static std::mt19937_64 random{std::random_device{}()};
    const unsigned long long a = random(), b = random();
    char text[40];
    std::snprintf(text, sizeof text, "%08llx-%04llx-%04llx-%04llx-%012llx", a >> 32,
                  (a >> 16) & 0xffff, a & 0xffff, b >> 48, b & 0xffffffffffffULL);
    return text;
}

std::string LocalDispatcher::beginSession()
{
    std::string token;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        token = newGuid();
        m_sessions[token];
    }
    m_log.write("BeginSession", {{"issuedToken", token}});
    return token;
}

void LocalDispatcher::subscribe(const std::string& token, const std::string& topic)
{
    m_log.write("SubscribeTopic", {{"token", token}, {"topic", topic}});
}

void LocalDispatcher::unsubscribe(const std::string& token, const std::string& topic)
{
    m_log.write("UnsubscribeTopic", {{"token", token}, {"topic", topic}});
}

void LocalDispatcher::endSession(const std::string& token)
{
    m_log.write("EndSession", {{"token", token}});
    if (m_options.holdPolls)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sessions[token].ended = true;
    m_changed.notify_all();
}

void LocalDispatcher::sendMessage(const Message& message)
{
    m_log.write("SendMessage",
                {{"token", message.token},
                 {"topic", message.topic},
                 {"replyTopic", message.replyTopic},
                 {"type", message.type},
                 {"sessionId", message.sessionId},
                 {"messageId", message.messageId},
                 {"payload", message.payload}},
                {{"priority", message.priority}});
    if (!m_options.answers(message.type))
        return;
    Message reply;
    reply.token = message.token;
    reply.topic = message.replyTopic;
    reply.replyTopic = message.topic;
    reply.type = kReplyType;
    reply.sessionId = message.sessionId;
    reply.payload = statusPayload(m_options.statusFor(message.type));
    std::lock_guard<std::mutex> lock(m_mutex);
    reply.messageId = newGuid();
    const auto due = Clock::now() + std::chrono::milliseconds(m_options.delayMs);
    m_sessions[message.token].queue.push_back({due, reply});
    m_changed.notify_all();
}

bool LocalDispatcher::getMessage(const std::string& token, Message& message,
                                 const std::function<bool()>& clientGone)
{
    m_log.write("GetMessage", {{"token", token}});
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        Session& session = m_sessions[token];
        if (takeDue(session, message))
            return true;
        if (m_stopped || session.ended)
            return false;
        if (m_options.floodBytes > 0) {
            message = floodMessage(token);
            return true;
        }
        auto wait = kPollCheck;
        if (!session.queue.empty()) {
            const auto untilDue = std::chrono::duration_cast<std::chrono::milliseconds>(
                session.queue.front().due - Clock::now());
            wait = std::min(wait, std::max(untilDue, std::chrono::milliseconds(1)));
        }
        m_changed.wait_for(lock, wait);
        lock.unlock();
        const bool gone = clientGone();
        lock.lock();
        if (gone)
            return false;
    }
}

// A message no request asked for, with a SessionId of its own.
LocalDispatcher::Message LocalDispatcher::floodMessage(const std::string& token)
{
    Message message;
    message.token = token;
    message.type = "service_notice";
    message.sessionId = newGuid();
    message.messageId = newGuid();
    const std::string open = "<serviceNotice><Text>", close = "</Text></serviceNotice>";
    const size_t fill = size_t(m_options.floodBytes) > open.size() + close.size()
                            ? size_t(m_options.floodBytes) - open.size() - close.size()
                            : 0;
    message.payload = open + std::string(fill, 'n') + close;
    return message;
}

bool LocalDispatcher::takeDue(Session& session, Message& message)
{
    if (session.queue.empty() || session.queue.front().due > Clock::now())
        return false;
    message = session.queue.front().message;
    session.queue.pop_front();
    return true;
}

void LocalDispatcher::stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopped = true;
    m_changed.notify_all();
}

std::string LocalDispatcher::statusPayload(int status)
{
    return "<applicationServiceStatus><Status>" + std::to_string(status)
           + "</Status></applicationServiceStatus>";
}
