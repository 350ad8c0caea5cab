#include "fixtures.h"

#include "diagnostics/logmessage.h"
#include "diagnostics/scopetrace.h"
#include "diagnostics/veskexception.h"

#include <algorithm>
#include <functional>
#include <regex>

using namespace com::corvane::vesk;

namespace {

class LogTest : public IsolatedTest {
protected:
    // The log with the timestamp that starts every line taken off.
    std::string logWithoutStamps() const
    {
        const std::string log = readFile(sdkFolder() / "Log/diagnosticstest.log");
        const std::string result
            = std::regex_replace(log, std::regex(R"((^|\n)\d\d-\d\d-\d\d \d\d:\d\d:\d\d )"), "$1");
        EXPECT_EQ(log.size() - result.size(), 18 * std::count(log.begin(), log.end(), '\n')) << log;
        return result;
    }
};

TEST_F(LogTest, ASecondRunReplacesTheFirstAndEveryLevelHasItsLayout)
{
    ASSERT_FALSE(std::filesystem::exists(dataFolder()));
    ASSERT_TRUE(ranInChild([] { LogMessage(INFO) << "first run"; }));
    EXPECT_EQ(logWithoutStamps(), "-INFO- first run\n");  // the folders were created on the way
    ASSERT_TRUE(ranInChild([] {
        LogMessage(INFO) << L"wide " << 42 << " narrow " << std::string("t\xc3\xa9xt\xff") << ' '
                         << -7;
        LogMessage(WARNING) << "warned";
        LogMessage(ERROR) << "failed";
        LogMessage(CRITICAL) << "critical";
        LogMessage(17, L"clientproxy.cpp") << "traced";
        LogMessage(DEBUG) << "no source";
        LogMessage(static_cast<LogLevel>(9)) << "odd level";
        ScopeTrace trace(L"ClientProxy::BeginEvent", L"clientproxy.cpp", 120);
    }));
    EXPECT_EQ(logWithoutStamps(),
              "-INFO- wide 42 narrow t\xc3\xa9xt\xef\xbf\xbd -7\n-WARNING- warned\n"
              "-ERROR- failed\n-CRITICAL- critical\n-DEBUG- clientproxy.cpp 17 traced\n"
              "-DEBUG- <none> 0 no source\n-UNKNOWN- odd level\n"
              "-DEBUG- clientproxy.cpp 120 ClientProxy::BeginEvent ENTER\n"
              "-DEBUG- clientproxy.cpp 120 ClientProxy::BeginEvent EXIT\n");
}

TEST_F(LogTest, WithoutLocalAppDataNothingIsWritten)
{
    writeRegistry("[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                  "Shell Folders]\n\"Local AppData\"=-\n");
    ASSERT_TRUE(ranInChild([] { LogMessage(ERROR) << "dropped"; }));
    EXPECT_FALSE(std::filesystem::exists(dataFolder()));
}

TEST_F(LogTest, EachExceptionClassLogsItsTextAtItsLevel)
{
    const std::pair<std::function<void()>, std::string> runs[] = {
        {[] { VeskErrorException("link down", 3); }, "-ERROR- link down (Code: 3)\n"},
        {[] { VeskWarningException("slow", 8); }, "-WARNING- slow (Code: 8)\n"},
        {[] { VeskRuntimeException("failed", -1); },
         "-ERROR- failed (Code: -1)\n-ERROR- failed (Code: -1)\n"},
    };
    for (const auto& [body, expected] : runs) {
        std::filesystem::remove_all(dataFolder());
        ASSERT_TRUE(ranInChild(body));
        EXPECT_EQ(logWithoutStamps(), expected);
    }
}

}  // namespace
