// Registry-driven settings and correlation identifiers.
#include "linktest.h"

#include "storelink/correlationid.h"
#include "storelink/linksettings.h"

#include <regex>

using namespace com::corvane::vesk;

TEST_F(LinkTest, ReplyTimeOutComesFromADWordBetween3And180)
{
    struct Case {
        std::string value;
        int rounds;
    };
    const Case cases[] = {
        {"dword:00000002", 300}, {"dword:000000b5", 300},  // 2 and 181
        {"dword:000000b4", 1800}, {"dword:00000003", 30},  // 180 and 3
        {"\"45\"", 300},                                   // not a DWORD
    };
    for (const Case& c : cases) {
        writeRegistry(0, 0, "\"TimeOut\"=" + c.value + "\n");
        EXPECT_EQ(LinkSettings::replyTimeoutRounds(), c.rounds) << c.value;
    }
    writeRegistry(0, 0);
    EXPECT_EQ(LinkSettings::replyTimeoutRounds(), 300);
}

TEST_F(LinkTest, PortComesFromTheRegistryAndFormsTheEndpoint)
{
    writeRegistry(17123);
    EXPECT_EQ(LinkSettings::dispatcherPort(), 17123);
    EXPECT_EQ(LinkSettings::endpoint(17123), "http://127.0.0.1:17123/DispatcherProxy");
}

TEST(CorrelationIdTest, IsThirtySixDigitsWithHyphensAndVaries)
{
    const std::regex shape("[0-9]{8}-[0-9]{4}-[0-9]{4}-[0-9]{4}-[0-9]{12}");
    std::set<std::string> seen;
    for (const std::string seed : {"", "5e0b7d21-3f4c-4b9a-8c2d-9a1e6f3b7c40",
                                   "87654321-1234-4321-1234-123456789012"}) {
        for (int i = 0; i < 20; ++i) {
            const std::string id = CorrelationId::next(seed);
            EXPECT_TRUE(std::regex_match(id, shape)) << id;
            seen.insert(id);
        }
    }
    EXPECT_GT(seen.size(), 50u) << "identifiers repeat";
    EXPECT_EQ(CorrelationId::derive(""), "");
}
