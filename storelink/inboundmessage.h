#ifndef QUILLET_STORELINK_INBOUNDMESSAGE_H
#define QUILLET_STORELINK_INBOUNDMESSAGE_H

#include <string>

namespace com { namespace corvane { namespace vesk {

// A message the receiver took from the dispatcher, with its payload text.
struct InboundMessage {
    std::string token;
    std::string topic;
    std::string replyTopic;
    std::string type;
    int priority = 0;
    std::string sessionId;  // the key: the correlation identifier it answers
    std::string messageId;
    std::string payload;
};

}}}  // namespace com::corvane::vesk

#endif
