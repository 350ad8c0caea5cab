#ifndef QUILLET_STORELINK_EVENTPAYLOAD_H
#define QUILLET_STORELINK_EVENTPAYLOAD_H

#include <string>

namespace com { namespace corvane { namespace vesk {

// The XML payloads of the event messages, and the status of a reply.
//
// A payload document is a root element whose leaf children are each preceded
// by a "\n\t" text node, serialised without declaration; it travels as the
// single CDATA section of an <XMLPayload> wrapper. Builders return an empty
// text if the document cannot be built.
class EventPayload {
public:
    static const char* const kVersion;  // "1.1.2"
    static const int kApiLevel = 3;

    static std::string statusRequest();
    static std::string begin(const std::string& applicationId);
    static std::string completion(const std::string& applicationId);
    static std::string crashReport(const std::string& applicationId, const std::string& reportPath);

    // The result of a status reply: 3 when the Status child of
    // //applicationServiceStatus[1] is "1", otherwise 0.
    static int statusResult(const std::string& replyPayload);

private:
    struct Child {
        const char* name;
        std::string text;
    };
    static std::string document(const char* root, std::initializer_list<Child> children);
    static std::string wrap(const std::string& document);
};

}}}  // namespace com::corvane::vesk

#endif
