#ifndef QUILLET_STORELINK_INBOUNDSTORE_H
#define QUILLET_STORELINK_INBOUNDSTORE_H

#include "storelink/inboundmessage.h"

#include <mutex>
#include <string>
#include <vector>

namespace com { namespace corvane { namespace vesk {

// Messages received and not yet claimed, one per SessionId. Thread-safe: the
// receiver inserts while senders look for their replies.
class InboundStore {
public:
    // Replaces the entry with the same SessionId, else appends.
    void insert(const InboundMessage& message);
    std::vector<InboundMessage> snapshot() const;
    // Removes the entry with this SessionId if it has this type.
    void remove(const std::string& sessionId, const std::string& type);
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<InboundMessage> m_messages;
};

}}}  // namespace com::corvane::vesk

#endif
