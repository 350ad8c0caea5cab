#include "fixtures.h"

#include "diagnostics/logfile.h"
#include "diagnostics/logmessage.h"
#include "diagnostics/scopetrace.h"
#include "diagnostics/veskexception.h"

#include <algorithm>
#include <regex>
#include <sstream>
#include <vector>

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

TEST_F(LogTest, WithoutLocalAppDataNothingIsWrittenAllRun)
{
    const std::string key
        = "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
          "Folders]\n";
    writeRegistry(key + "\"Local AppData\"=-\n");
    ASSERT_TRUE(ranInChild([&] {
        LogMessage(ERROR) << "dropped";
        // Even once the value is back, the run stays silent.
        writeRegistry(key + "\"Local AppData\"=\"" + dataFolder().string() + "\"\n");
        LogMessage(ERROR) << "dropped too";
    }));
    EXPECT_FALSE(std::filesystem::exists(dataFolder()));
}

TEST_F(LogTest, ApplicationNameDropsOnlyAnExeExtension)
{
    EXPECT_EQ(applicationNameOf(L"C:\\Program Files\\brambleKiln\\Quillet.EXE"), L"Quillet");
    EXPECT_EQ(applicationNameOf(L"/opt/quillet/run.sh"), L"run.sh");
    EXPECT_EQ(applicationNameOf(L"exe"), L"exe");
    EXPECT_EQ(applicationNameOf(L""), L"Unknown application name");
}

TEST_F(LogTest, ExceptionTextsAndTheLinesEachClassLogs)
{
    const VeskException e("Dispatcher not reachable", -9);
    std::ostringstream out;
    out << e << '|' << e.what();
    EXPECT_EQ(out.str(), "Dispatcher not reachable (Code: -9)|Dispatcher not reachable (Code: -9)");

    // One run each; the copies made while catching log nothing.
    const std::string init = "Only one instance of an Vesk application can be instantiated";
    const std::vector<std::pair<std::function<void()>, std::string>> runs = {
        {[] { VeskException("base", 1); }, ""},
        {[] { VeskErrorException("link down", 3); }, "-ERROR- link down (Code: 3)\n"},
        {[] { VeskWarningException("slow", 8); }, "-WARNING- slow (Code: 8)\n"},
        {[&] {
             try {
                 throw InitializationException(init, 0);
             } catch (const InitializationException& c) {
                 InitializationException copy(c);
             }
         },
         "-ERROR- " + init + " (Code: 0)\n"},
        {[] {
             try {
                 throw VeskRuntimeException("failed", -1);
             } catch (const VeskRuntimeException& c) {
                 VeskRuntimeException copy(c);
             }
         },
         "-ERROR- failed (Code: -1)\n-ERROR- failed (Code: -1)\n"},
    };
    for (const auto& [body, expected] : runs) {
        std::filesystem::remove_all(dataFolder());
        ASSERT_TRUE(ranInChild(body));
        EXPECT_EQ(logWithoutStamps(), expected);
    }
}

}  // namespace
