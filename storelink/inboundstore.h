#ifndef QUILLET_STORELINK_INBOUNDSTORE_H
#define QUILLET_STORELINK_INBOUNDSTORE_H

#include "storelink/inboundmessage.h"

#include <chrono>
#include <cstddef>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace com { namespace corvane { namespace vesk {

// Messages received and not yet claimed, one per SessionId. Thread-safe: the
// receiver inserts while senders look for their replies.
//
// Only messages that a request waits for are kept (see expect()); the rest
// are dropped and noted in the log, so a service that floods the link
// cannot grow the process. What is kept is bounded in count and bytes too.
class InboundStore {
public:
    static constexpr size_t kMaxMessages = 64;
    static constexpr size_t kMaxBytes = 4 * 1024 * 1024;

    // A request with this SessionId is about to be sent or is waiting: its
    // replies are kept from now on.
    void expect(const std::string& sessionId);
    // The wait for this SessionId is over: later messages with it are dropped.
    // What was kept stays until claimed, cleared or pushed out for room.
    void endWait(const std::string& sessionId);

    // Replaces the entry with the same SessionId, else appends; drops the
    // message when nothing waits for it or it cannot be kept within bounds.
    // True when kept.
    bool insert(const InboundMessage& message);
    std::vector<InboundMessage> snapshot() const;
    // Removes the entry with this SessionId if it has this type.
    void remove(const std::string& sessionId, const std::string& type);
    void clear();

    // Messages dropped since the store was made.
    unsigned long long droppedCount() const;

private:
    void noteDrop(const InboundMessage& message, const char* reason);

    mutable std::mutex m_mutex;
    std::vector<InboundMessage> m_messages;
    std::set<std::string> m_awaited;
    unsigned long long m_dropped = 0;
    unsigned long long m_droppedSinceNote = 0;
    unsigned long long m_bytesDroppedSinceNote = 0;
    std::chrono::steady_clock::time_point m_lastNote;
};

}}}  // namespace com::corvane::vesk

#endif
