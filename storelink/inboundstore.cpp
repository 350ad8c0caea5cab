#include "storelink/inboundstore.h"

#include "diagnostics/logmessage.h"

#include <algorithm>

namespace com { namespace corvane { namespace vesk {

namespace {

// A flood is noted once a second at most.
const auto kNoteInterval = std::chrono::seconds(1);

size_t sizeOf(const InboundMessage& m)
{
    return m.token.size() + m.topic.size() + m.replyTopic.size() + m.type.size()
           + m.sessionId.size() + m.messageId.size() + m.payload.size();
}

}  // namespace

void InboundStore::expect(const std::string& sessionId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_awaited.insert(sessionId);
}

void InboundStore::endWait(const std::string& sessionId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_awaited.erase(sessionId);
}

bool InboundStore::insert(const InboundMessage& message)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_awaited.count(message.sessionId)) {
        noteDrop(message, "no request waits for it");
        return false;
    }
    // Room for the message beside the others, the one it replaces left out.
    const auto fits = [&] {
        size_t count = 0, bytes = sizeOf(message);
        for (const InboundMessage& m : m_messages) {
            if (m.sessionId != message.sessionId) {
                ++count;
                bytes += sizeOf(m);
            }
        }
        return count < kMaxMessages && bytes <= kMaxBytes;
    };
    // Make room by pushing out, oldest first, what no request waits for any more.
    for (auto old = m_messages.begin(); !fits() && old != m_messages.end();) {
        if (m_awaited.count(old->sessionId)) {
            ++old;
            continue;
        }
        noteDrop(*old, "pushed out for a newer reply");
        old = m_messages.erase(old);
    }
    if (!fits()) {
        noteDrop(message, "the store of received messages is full");
        return false;
    }
    auto same = std::find_if(m_messages.begin(), m_messages.end(), [&](const InboundMessage& m) {
        return m.sessionId == message.sessionId;
    });
    if (same != m_messages.end())
        *same = message;
    else
        m_messages.push_back(message);
    return true;
}

std::vector<InboundMessage> InboundStore::snapshot() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

void InboundStore::remove(const std::string& sessionId, const std::string& type)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.erase(std::remove_if(m_messages.begin(), m_messages.end(),
                                    [&](const InboundMessage& m) {
                                        return m.sessionId == sessionId && m.type == type;
                                    }),
                     m_messages.end());
}

void InboundStore::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
    m_awaited.clear();
    if (m_droppedSinceNote > 0)
        LogMessage(WARNING) << "Dropped " << m_droppedSinceNote << " further messages ("
                            << m_bytesDroppedSinceNote << " bytes) from the dispatcher service";
    m_droppedSinceNote = 0;
    m_bytesDroppedSinceNote = 0;
}

unsigned long long InboundStore::droppedCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dropped;
}

// Called with the lock held. The first drop is logged with its details; a
// flood after it in one line a second with the count.
void InboundStore::noteDrop(const InboundMessage& message, const char* reason)
{
    ++m_dropped;
    ++m_droppedSinceNote;
    m_bytesDroppedSinceNote += sizeOf(message);
    const auto now = std::chrono::steady_clock::now();
    if (m_dropped > 1 && now - m_lastNote < kNoteInterval)
        return;
    if (m_dropped == 1)
        LogMessage(WARNING) << "Dropped a message of type \"" << message.type << "\" ("
                            << sizeOf(message) << " bytes, SessionId " << message.sessionId
                            << ") from the dispatcher service: " << reason;
    else
        LogMessage(WARNING) << "Dropped " << m_droppedSinceNote << " more messages ("
                            << m_bytesDroppedSinceNote << " bytes) from the dispatcher service; "
                            << "the last of type \"" << message.type << "\": " << reason;
    m_lastNote = now;
    m_droppedSinceNote = 0;
    m_bytesDroppedSinceNote = 0;
}

}}}  // namespace com::corvane::vesk
