// The dispatcher link against the real local dispatcher service (and against
// listeners that misbehave), over loopback.
#include "linktest.h"
#include "rawlistener.h"

#include "diagnostics/veskexception.h"
#include "storelink/clientproxy.h"
#include "storelink/dispatcherconnection.h"
#include "storelink/dispatchersession.h"
#include "storelink/linksettings.h"

#include <fstream>
#include <sys/wait.h>
#include <thread>

using namespace com::corvane::vesk;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kLibraryTopic = "target://Appstore/service/ApplicationLibrary";

std::vector<std::string> operations(const DispatcherProcess& dispatcher)
{
    std::vector<std::string> result;
    for (const auto& entry : dispatcher.entries()) {
        if (entry.at("operation") != "GetMessage")
            result.push_back(entry.at("operation"));
    }
    return result;
}

int openFails(double& seconds)
{
    const auto start = Clock::now();
    try {
        ClientProxy proxy;
    } catch (const InitializationException& e) {
        seconds = LinkTest::secondsSince(start);
        return e.code();
    }
    return 0;
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

}  // namespace

TEST_F(LinkTest, OpensWithStatusCheckAndClosesWithUnsubscribeAndEndSession)
{
    DispatcherProcess& dispatcher = startDispatcher();
    std::string token;
    {
        ClientProxy proxy;
        DispatcherSession& session = DispatcherSession::instance();
        ASSERT_TRUE(session.isOpen());
        token = session.token();
        EXPECT_EQ(session.endpoint(),
                  "http://127.0.0.1:" + std::to_string(dispatcher.port()) + "/DispatcherProxy");
        EXPECT_EQ(session.replyTimeoutRounds(), 30);
        EXPECT_EQ(operations(dispatcher),
                  (std::vector<std::string>{"BeginSession", "SubscribeTopic", "SendMessage"}));
        EXPECT_EQ(dispatcher.entries("BeginSession")[0]["issuedToken"], token);
        auto subscribe = dispatcher.entries("SubscribeTopic")[0];
        EXPECT_EQ(subscribe["token"], token);
        EXPECT_EQ(subscribe["topic"], kLibraryTopic + token);
        auto status = dispatcher.entries("SendMessage")[0];
        EXPECT_EQ(status["type"], "application_service_status_request");
        EXPECT_EQ(status["topic"], "target://appstore/service/ApplicationService");
        EXPECT_EQ(status["replyTopic"], kLibraryTopic + token);
        EXPECT_EQ(status["messageId"], "12345678-9012-3456-7890-123456789012");
        EXPECT_EQ(status["priority"], "0");
        EXPECT_EQ(dispatcher.entries("GetMessage")[0]["token"], token);
        // The reply was claimed from the store.
        EXPECT_TRUE(session.inbound().snapshot().empty());
    }
    EXPECT_FALSE(DispatcherSession::instance().isOpen());
    EXPECT_EQ(DispatcherSession::instance().token(), std::string(36, ' '));
    auto ops = operations(dispatcher);
    ASSERT_GE(ops.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(ops.end() - 2, ops.end()),
              (std::vector<std::string>{"UnsubscribeTopic", "EndSession"}));
    EXPECT_EQ(dispatcher.entries("UnsubscribeTopic")[0]["topic"], kLibraryTopic + token + token);
    EXPECT_EQ(dispatcher.entries("EndSession")[0]["token"], token);
    EXPECT_EQ(DispatcherSession::instance().close(), 1);
}

TEST_F(LinkTest, StatusOneFailsTheOpenWithThreeAndClosesTheLink)
{
    DispatcherProcess& dispatcher = startDispatcher({"--status", "1"});
    double seconds = 0;
    EXPECT_EQ(openFails(seconds), 3);
    EXPECT_FALSE(DispatcherSession::instance().isOpen());
    EXPECT_EQ(dispatcher.entries("EndSession").size(), 1u);
}

TEST_F(LinkTest, MissingStatusReplyFailsTheOpenWithNineAfterTheTimeOut)
{
    startDispatcher({"--no-reply"}, 3);
    double seconds = 0;
    EXPECT_EQ(openFails(seconds), 9);
    EXPECT_GE(seconds, 0.5 + 3.0);  // the open's pause and 30 rounds of 100 ms
    EXPECT_LT(seconds, 6.0);
    EXPECT_FALSE(DispatcherSession::instance().isOpen());
}

TEST_F(LinkTest, CloseEndsAPollTheServiceHoldsForever)
{
    DispatcherProcess& dispatcher = startDispatcher({"--hold-polls"});
    auto proxy = std::make_unique<ClientProxy>();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto start = Clock::now();
    proxy.reset();
    EXPECT_LT(secondsSince(start), 1.0);
    EXPECT_FALSE(DispatcherSession::instance().isOpen());
    // The service itself stops cleanly on SIGTERM.
    const int status = dispatcher.terminate();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(LinkTest, ReopeningRenewsTheTokenWithoutASecondReceiver)
{
    DispatcherProcess& dispatcher = startDispatcher();
    ClientProxy first;
    const std::string oldToken = DispatcherSession::instance().token();
    ClientProxy second;
    const std::string newToken = DispatcherSession::instance().token();
    EXPECT_NE(newToken, oldToken);
    EXPECT_EQ(dispatcher.entries("SubscribeTopic").back()["topic"], kLibraryTopic + newToken);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int polls = 0;
    for (auto& entry : dispatcher.entries("GetMessage"))
        polls += entry["token"] == newToken;
    EXPECT_EQ(polls, 1) << "one receiver polls with the new token";
    // Replies to the new session reach the receiver.
    EXPECT_EQ(first.BeginEvent(), 0);
}

TEST_F(LinkTest, WithoutServiceTriesRegistryPortThenTheFixedPortsInOrder)
{
    std::vector<int> ports = {0};
    ports.insert(ports.end(), LinkSettings::fallbackPorts().begin(),
                 LinkSettings::fallbackPorts().end());
    RawListener listener(ports, RawListener::Behaviour::Refuse);
    if (!listener.boundAll())
        GTEST_SKIP() << "a fixed dispatcher port is in use on this machine";
    writeRegistry(listener.port(0));
    double seconds = 0;
    EXPECT_EQ(openFails(seconds), 2);
    std::vector<int> tried;
    for (const auto& attempt : listener.attempts())
        tried.push_back(attempt.port);
    EXPECT_EQ(tried, (std::vector<int>{listener.port(0), 8888, 16996, 16997, 16998, 16999, 17000,
                                       17001, 17002, 17003, 17004}));
}

TEST_F(LinkTest, WithoutPortValueWaitsSevenHundredMsThenTries16996First)
{
    RawListener listener({16996, 8888}, RawListener::Behaviour::Refuse);
    if (!listener.boundAll())
        GTEST_SKIP() << "a fixed dispatcher port is in use on this machine";
    writeRegistry(0);
    const auto start = Clock::now();
    double seconds = 0;
    EXPECT_EQ(openFails(seconds), 2);
    const auto attempts = listener.attempts();
    ASSERT_EQ(attempts.size(), 3u);
    EXPECT_EQ(attempts[0].port, 16996);
    EXPECT_EQ(attempts[1].port, 8888);
    EXPECT_EQ(attempts[2].port, 16996);
    const double firstTry = std::chrono::duration<double>(attempts[0].time - start).count();
    EXPECT_GE(firstTry, 0.7);
    EXPECT_LT(firstTry, 1.2);
}

TEST_F(LinkTest, ServiceThatNeverAnswersFailsTheOpenInBoundedTime)
{
    RawListener listener({0}, RawListener::Behaviour::Silent);
    writeRegistry(listener.port(0));
    double seconds = 0;
    EXPECT_EQ(openFails(seconds), 2);
    EXPECT_LT(seconds, DispatcherConnection::kReceiveSeconds + 3.0);
}

TEST_F(LinkTest, HugeReplyFailsTheCallAndTheProcessStaysSmall)
{
    RawListener listener({0}, RawListener::Behaviour::HugeReply);
    writeRegistry(listener.port(0));
    const long before = residentKiB();
    double seconds = 0;
    EXPECT_EQ(openFails(seconds), 2);
    EXPECT_LT(residentKiB() - before, 16 * 1024);
    EXPECT_LT(listener.bytesSent(), 64LL * 1024 * 1024) << "the client stopped reading";
}
