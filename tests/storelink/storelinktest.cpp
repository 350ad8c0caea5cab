// The store link against the real dispatcher service and misbehaving listeners; identifiers.
#include "fakelistener.h"
#include "fixtures.h"

#include "diagnostics/crashreportwriter.h"
#include "diagnostics/veskexception.h"
#include "storelink/clientproxy.h"
#include "storelink/correlationid.h"
#include "storelink/dispatcherconnection.h"
#include "storelink/dispatchersession.h"
#include "storelink/eventpayload.h"
#include "storelink/linksettings.h"

#include <algorithm>
#include <chrono>
#include <regex>
#include <thread>

using namespace com::corvane::vesk;
using Strings = std::vector<std::string>;

namespace {

const std::string kLibraryTopic = "target://Appstore/service/ApplicationLibrary";
const uint32_t kWords[4] = {0x5e0b7d21, 0x3f4c4b9a, 0x8c2d9a1e, 0x6f3b7c40};
const std::string kIdText = "5e0b7d21-3f4c-4b9a-8c2d-9a1e6f3b7c40";
const std::string kIdElement = "<ApplicationUUID>" + kIdText + "</ApplicationUUID>\n\t";

// An event's payload as sent: the version first, then the given elements.
std::string event(const std::string& name, const std::string& elements)
{
    return "<XMLPayload><![CDATA[<" + name + ">\n\t<Version>1.1.2</Version>\n\t" + elements + "</"
           + name + ">]]></XMLPayload>";
}

// The head of a reply whose token never ends: the client finds its size only by reading.
const std::string kEndlessToken
    = "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nConnection: close\r\n\r\n"
      "<?xml version=\"1.0\"?><SOAP-ENV:Envelope "
      "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
      "xmlns:ns1=\"urn:wharfline:dispatcher-proxy\" xmlns:ns3=\"urn:wharfline:service-contract\">"
      "<SOAP-ENV:Body><ns1:BeginSessionResponse><ns1:Response><ns3:Token>";

class LinkTest : public DispatcherTest {
protected:
    void TearDown() override { DispatcherSession::instance().close(); }
    // Opens a link that must fail: its code and how long that took.
    static int openFails(double& seconds)
    {
        const long long start = monotonicNanoseconds();
        try {
            ClientProxy proxy;
        } catch (const InitializationException& e) {
            seconds = double(monotonicNanoseconds() - start) / 1e9;
            return e.code();
        }
        return 0;
    }
    std::string payload(const std::string& type) const
    {
        const auto sent = m_dispatcher->messages(type);
        return sent.empty() ? "(not sent)" : sent[0].at("payload");
    }
};

TEST_F(LinkTest, OpensWithStatusCheckAndClosesWithUnsubscribeAndEndSession)
{
    DispatcherProcess& dispatcher = startDispatcher();
    auto proxy = std::make_unique<ClientProxy>();
    const std::string token = DispatcherSession::instance().token();
    EXPECT_EQ(dispatcher.entries("BeginSession")[0]["issuedToken"], token);
    EXPECT_EQ(dispatcher.entries("SubscribeTopic")[0]["topic"], kLibraryTopic + token);
    auto status = dispatcher.messages("application_service_status_request").at(0);
    EXPECT_EQ(status["topic"], "target://appstore/service/ApplicationService");
    EXPECT_EQ(status["replyTopic"], kLibraryTopic + token);
    proxy.reset();
    EXPECT_FALSE(DispatcherSession::instance().isOpen());
    Strings operations;
    for (auto& entry : dispatcher.entries())
        if (entry["operation"] != "GetMessage")
            operations.push_back(entry["operation"]);
    EXPECT_EQ(operations, (Strings{"BeginSession", "SubscribeTopic", "SendMessage",
                                   "UnsubscribeTopic", "EndSession"}));
    EXPECT_EQ(dispatcher.entries("UnsubscribeTopic")[0]["topic"], kLibraryTopic + token + token);
    EXPECT_EQ(dispatcher.entries("EndSession")[0]["token"], token);
}

TEST_F(LinkTest, ReopeningRenewsTheTokenWithoutASecondReceiver)
{
    DispatcherProcess& dispatcher = startDispatcher();
    ClientProxy first;
    const std::string oldToken = DispatcherSession::instance().token();
    ClientProxy second;
    const std::string newToken = DispatcherSession::instance().token();
    EXPECT_NE(newToken, oldToken);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int polls = 0;
    for (auto& entry : dispatcher.entries("GetMessage"))
        polls += entry["token"] == newToken;
    EXPECT_EQ(polls, 1) << "one receiver polls with the new token";
    EXPECT_EQ(first.BeginEvent(), 0) << "replies to the new session reach the receiver";
}

TEST_F(LinkTest, FailedStatusCheckFailsTheOpenAndEndsTheSession)
{
    // No reply: the open's pause and 30 rounds of 100 ms.
    const struct {
        Strings options;
        int code;
        double minSeconds, maxSeconds;
    } cases[] = {{{"--status", "1"}, 3, 0, 2}, {{"--no-reply"}, 9, 3.5, 6}};
    for (const auto& c : cases) {
        DispatcherProcess& dispatcher = startDispatcher(c.options);
        double seconds = 0;
        EXPECT_EQ(openFails(seconds), c.code) << c.options[0];
        EXPECT_GE(seconds, c.minSeconds);
        EXPECT_LT(seconds, c.maxSeconds);
        EXPECT_EQ(dispatcher.entries("EndSession").size(), 1u);
    }
}

// Also: EndEvent() after a failed BeginEvent() warns and sends nothing.
TEST_F(LinkTest, ExchangesEndByHalfTheTimeLeftOnceADeadlineIsSet)
{
    DispatcherProcess& dispatcher = startDispatcher({"--no-reply-for", "application_begin_set"});
    ClientProxy proxy;
    const auto now = std::chrono::steady_clock::now();
    DispatcherSession::instance().finishBy(now + std::chrono::milliseconds(800));
    EXPECT_THROW(proxy.BeginEvent(), VeskRuntimeException);  // 9, no reply in time
    const auto waited = std::chrono::steady_clock::now() - now;
    EXPECT_GE(waited, std::chrono::milliseconds(350));
    EXPECT_LT(waited, std::chrono::milliseconds(700)) << "TimeOut (3 s) was not cut";
    EXPECT_THROW(proxy.EndEvent(), VeskWarningException);  // 8
    EXPECT_TRUE(dispatcher.messages("application_completion_set").empty());
}

// Without a port value the registry is reread for 700 ms; then 16996 and the
// fixed ports are tried in turn, here up to the last.
TEST_F(LinkTest, WithoutAPortValueTheFixedPortsAreTriedInTurn)
{
    std::vector<int> others = LinkSettings::fallbackPorts();
    others.pop_back();
    const FakeListener closed(others, FakeListener::Closed);
    if (!closed.boundAll())
        GTEST_SKIP() << "a fixed dispatcher port is in use on this machine";
    DispatcherProcess& dispatcher = startDispatcher({"--port", "17004"});
    writeRegistry(linkRegistry(0));
    const long long start = monotonicNanoseconds();
    ClientProxy proxy;
    EXPECT_GE(monotonicNanoseconds() - start, 700000000LL);
    EXPECT_EQ(dispatcher.entries("BeginSession").size(), 1u);
}

TEST_F(LinkTest, SilentOrFloodingServiceFailsTheOpenInBoundedTimeAndMemory)
{
    const FakeListener noFallback(LinkSettings::fallbackPorts(), FakeListener::Closed);
    if (!noFallback.boundAll())
        GTEST_SKIP() << "a fixed dispatcher port is in use on this machine";
    for (const auto behaviour : {FakeListener::Silent, FakeListener::Flood}) {
        FakeListener listener({0}, behaviour, kEndlessToken);
        writeRegistry(linkRegistry(listener.port(0)));
        const long before = memoryKiB("VmRSS:");
        double seconds = 0;
        EXPECT_EQ(openFails(seconds), 2) << behaviour;
        EXPECT_LT(seconds, DispatcherConnection::kReceiveSeconds + 3.0) << behaviour;
        EXPECT_LT(memoryKiB("VmRSS:") - before, 16 * 1024) << behaviour;
        if (behaviour == FakeListener::Flood) {
            EXPECT_LT(listener.bytesSent(), 64 << 20) << "the client stopped reading";
        }
    }
}

TEST_F(LinkTest, ReplyIsMatchedBySessionIdAndTypeAndTheStoreKeepsOnlyWhatIsAwaitedWithinBounds)
{
    startDispatcher();
    ClientProxy proxy;
    DispatcherSession& session = DispatcherSession::instance();
    InboundStore& inbound = session.inbound();
    InboundMessage message;
    message.sessionId = "11111111-2222-3333-4444-555555555555";
    message.type = "other_type";
    message.payload = "<applicationServiceStatus><Status>1</Status></applicationServiceStatus>";
    inbound.expect(message.sessionId);  // as a send does
    EXPECT_TRUE(inbound.insert(message));
    EXPECT_EQ(session.awaitReply(message.sessionId), 9) << "a message of another type";
    EXPECT_FALSE(inbound.insert(message)) << "the wait is over";
    inbound.expect(message.sessionId);
    message.type = DispatcherSession::kReplyType;
    inbound.insert(message);  // replaces the one of the other type
    EXPECT_EQ(session.awaitReply(message.sessionId), 3) << "status 1";
    EXPECT_TRUE(inbound.snapshot().empty());

    // Awaited messages past the bounds are refused: three of 1 MiB fit in the
    // bytes with their fields, not four; then small ones up to the count.
    std::vector<bool> kept;
    for (int i = 0; i < 100; ++i) {
        message.sessionId = "id " + std::to_string(i);
        message.payload = std::string(i < 5 ? 1024 * 1024 : 10, 'p');
        inbound.expect(message.sessionId);
        kept.push_back(inbound.insert(message));
    }
    EXPECT_TRUE(kept[2] && !kept[3] && kept[5] && !kept[99]);
    EXPECT_EQ(inbound.snapshot().size(), InboundStore::kMaxMessages);
    // Those whose wait ended make room for newer replies, oldest first.
    for (int i = 0; i < 10; ++i)
        inbound.endWait("id " + std::to_string(i));
    message.sessionId = "id 100";
    inbound.expect(message.sessionId);
    EXPECT_TRUE(inbound.insert(message));
    EXPECT_EQ(inbound.snapshot().front().sessionId, "id 1");
}

TEST_F(LinkTest, UnsolicitedFloodIsDroppedAndLoggedWhileRepliesStillArrive)
{
    startDispatcher({"--flood", "500000"});
    ClientProxy proxy;
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(proxy.BeginEvent(), 0);
    EXPECT_TRUE(DispatcherSession::instance().inbound().snapshot().empty());
    EXPECT_GT(DispatcherSession::instance().inbound().droppedCount(), 10u);
    const std::string log = readFile(sdkFolder() / "Log/storelinktest.log");
    EXPECT_NE(log.find("Dropped a message of type \"service_notice\" (5"), std::string::npos)
        << log;
    EXPECT_LT(std::count(log.begin(), log.end(), '\n'), 8) << "a flood is noted once a second";
}

// The events and a crash report's, byte for byte; BeginEvent() once, EndEvent() each time.
TEST_F(LinkTest, EventsAndCrashReportsAreSentByteForByteBeginOnceEndEachTime)
{
    DispatcherProcess& dispatcher = startDispatcher();
    ClientProxy proxy;
    EXPECT_EQ(payload("application_service_status_request"),
              event("applicationServiceStatusReq", "<APILevel>3</APILevel>"));
    EXPECT_THROW(proxy.EndEvent(), VeskWarningException) << "no BeginEvent() yet";
    EXPECT_EQ(proxy.BeginEvent(), 0);
    EXPECT_EQ(payload("application_begin_set"),
              event("applicationBeginSet",
                    "<ApplicationUUID>" + std::string(36, ' ') + "</ApplicationUUID>"));
    ClientProxy::setApplicationIdentifier(kWords);
    EXPECT_EQ(proxy.EndEvent(), 0);
    EXPECT_EQ(payload("application_completion_set"),
              event("applicationCompletionSet", kIdElement + "<ExitCode>OK</ExitCode>"));
    EXPECT_EQ(proxy.BeginEvent(), 0);
    EXPECT_EQ(proxy.EndEvent(), 0);
    EXPECT_EQ(dispatcher.messages("application_begin_set").size(), 1u);
    EXPECT_EQ(dispatcher.messages("application_completion_set").size(), 2u);

    EXPECT_EQ(
        proxy.SendCrashReport(L"main.cpp", L"boom", L"Access violation", 42, L"frames", nullptr, 0),
        0);
    EXPECT_EQ(
        payload("crash_report_set"),
        event("crashReportSet", kIdElement + "<CrashInfoDirectoryPath>" + lastCrashReportPath()
                                    + "</CrashInfoDirectoryPath>\n\t<NativeFlag>0</NativeFlag>"));
    EXPECT_NE(
        EventPayload::crashReport(kIdText, "/tmp/a&b]]>c.xml").find(">/tmp/a&amp;b]]&gt;c.xml<"),
        std::string::npos);
}

// Replies are matched by identifier, so no two in a row may be the same, also where the
// clock factor (hour x milliseconds) is 0: one of the 24 zones has the hour after midnight.
// Whatever the seed, an identifier is five groups of decimal digits.
TEST(CorrelationId, SuccessiveIdentifiersDifferAndKeepTheirShapeAtAnyHour)
{
    EXPECT_TRUE(ranInChild([] {
        const std::regex shape(R"(\d{8}-\d{4}-\d{4}-\d{4}-\d{12})");
        for (int behind = 0; behind < 24; ++behind) {
            setenv("TZ", ("QLT+" + std::to_string(behind)).c_str(), 1);
            tzset();
            for (const std::string seed :
                 {kIdText, std::string("99999999-9999-9999-9999-99999999")}) {
                const std::string id = CorrelationId::next(seed);
                if (id == CorrelationId::next(seed) || !std::regex_match(id, shape))
                    _exit(1);
            }
        }
    }));
}

}  // namespace
