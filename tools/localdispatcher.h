#ifndef QUILLET_TOOLS_LOCALDISPATCHER_H
#define QUILLET_TOOLS_LOCALDISPATCHER_H

#include "messagelog.h"
#include "serviceoptions.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>

// The state of the local dispatcher service: sessions, each with a queue of
// messages waiting for the session's poll. Every message received is logged
// and, as configured, answered by a status reply with the message's
// SessionId. Thread-safe: each connection is served on its own thread.
class LocalDispatcher {
public:
    struct Message {
        std::string token;
        std::string topic;
        std::string replyTopic;
        std::string type;
        int priority = 0;
        std::string sessionId;
        std::string messageId;
        std::string payload;
    };

    LocalDispatcher(const ServiceOptions& options, MessageLog& log);

    std::string beginSession();
    void subscribe(const std::string& token, const std::string& topic);
    void unsubscribe(const std::string& token, const std::string& topic);
    // Ends the session and releases its poll (unless polls are held).
    void endSession(const std::string& token);
    void sendMessage(const Message& message);
    // Holds until a message for the session is due, the session ends, the
    // service stops or clientGone() turns true. False when no message.
    bool getMessage(const std::string& token, Message& message,
                    const std::function<bool()>& clientGone);
    // Releases every poll; later polls return at once.
    void stop();

    static std::string statusPayload(int status);

private:
    using Clock = std::chrono::steady_clock;
    struct Queued {
        Clock::time_point due;
        Message message;
    };
    struct Session {
        std::deque<Queued> queue;
        bool ended = false;
    };

    std::string newGuid();
    bool takeDue(Session& session, Message& message);
    Message floodMessage(const std::string& token);

    const ServiceOptions& m_options;
    MessageLog& m_log;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, Session> m_sessions;
    bool m_stopped = false;
    unsigned long m_counter = 0;
};

#endif
