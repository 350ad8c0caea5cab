// How replies in the inbound store are matched, on an open link.
#include "linktest.h"

#include "storelink/clientproxy.h"
#include "storelink/dispatchersession.h"
#include "storelink/eventpayload.h"

using namespace com::corvane::vesk;

namespace {

InboundMessage reply(const std::string& sessionId, const std::string& type, int status)
{
    InboundMessage message;
    message.sessionId = sessionId;
    message.type = type;
    message.payload = "<applicationServiceStatus><Status>" + std::to_string(status) +
                      "</Status></applicationServiceStatus>";
    return message;
}

}  // namespace

TEST_F(LinkTest, ReplyOfAnotherTypeDoesNotEndTheWaitAndStays)
{
    startDispatcher({}, 3);
    ClientProxy proxy;
    DispatcherSession& session = DispatcherSession::instance();
    session.inbound().insert(reply("11111111-2222-3333-4444-555555555555", "other_type", 1));
    EXPECT_EQ(session.awaitReply("11111111-2222-3333-4444-555555555555"), 9);
    ASSERT_EQ(session.inbound().snapshot().size(), 1u);

    // The later of two replies with one SessionId replaces the earlier.
    session.inbound().insert(reply("11111111-2222-3333-4444-555555555555",
                                   DispatcherSession::kReplyType, 1));
    session.inbound().insert(reply("11111111-2222-3333-4444-555555555555",
                                   DispatcherSession::kReplyType, 0));
    ASSERT_EQ(session.inbound().snapshot().size(), 1u);
    EXPECT_EQ(session.awaitReply("11111111-2222-3333-4444-555555555555"), 0);
    EXPECT_TRUE(session.inbound().snapshot().empty());
}

TEST(EventPayloadTest, StatusOfAReply)
{
    struct Case {
        const char* payload;
        int result;
    };
    const Case cases[] = {
        {"<applicationServiceStatus><Status>0</Status></applicationServiceStatus>", 0},
        {"<applicationServiceStatus><Status>1</Status></applicationServiceStatus>", 3},
        {"<applicationServiceStatus><Status>2</Status></applicationServiceStatus>", 0},
        {"<applicationServiceStatus><Other>1</Other></applicationServiceStatus>", 0},
        {"<a><applicationServiceStatus><Code>7</Code><Status>1</Status>"
         "</applicationServiceStatus></a>", 3},
        {"not xml <Status>1</Status>", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EventPayload::statusResult(c.payload), c.result) << c.payload;
}

TEST(EventPayloadTest, CrashReportPayloadEscapesTheReportPath)
{
    EXPECT_EQ(EventPayload::crashReport(std::string(36, ' '), "/tmp/a&b]]>c.xml"),
              "<XMLPayload><![CDATA[<crashReportSet>\n\t<Version>1.1.2</Version>\n\t"
              "<ApplicationUUID>" + std::string(36, ' ') + "</ApplicationUUID>\n\t"
              "<CrashInfoDirectoryPath>/tmp/a&amp;b]]&gt;c.xml</CrashInfoDirectoryPath>"
              "\n\t<NativeFlag>0</NativeFlag></crashReportSet>]]></XMLPayload>");
}
