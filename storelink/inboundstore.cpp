#include "storelink/inboundstore.h"

#include <algorithm>

namespace com { namespace corvane { namespace vesk {

void InboundStore::insert(const InboundMessage& message)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = std::find_if(m_messages.begin(), m_messages.end(),
                           [&](const InboundMessage& m) { return m.sessionId == message.sessionId; });
    if (it != m_messages.end())
        *it = message;
    else
        m_messages.push_back(message);
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
}

}}}  // namespace com::corvane::vesk
