#include "childprocess.h"
#include "isolatedenvironment.h"

#include "diagnostics/logfile.h"
#include "diagnostics/logmessage.h"
#include "diagnostics/scopetrace.h"
#include "platform/text.h"

#include <regex>
#include <sstream>
#include <vector>

using namespace com::corvane::vesk;

namespace {

class LogMessageTest : public IsolatedEnvironment {
protected:
    std::filesystem::path logFile() const
    {
        return dataFolder() / "Corvane" / "CorvaneSkyfoldSDK" / "Log" / "diagnostics_tests.log";
    }
    std::vector<std::string> logLines() const
    {
        std::istringstream in(readFile(logFile()));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
};

const std::string kStamp = R"(\d\d-\d\d-\d\d \d\d:\d\d:\d\d)";

TEST_F(LogMessageTest, NamesTheFileAfterTheExecutable)
{
    EXPECT_EQ(applicationName(), L"diagnostics_tests");
    // Only an ".exe" extension is dropped.
    EXPECT_EQ(applicationNameOf(L"C:\\Program Files\\brambleKiln\\Quillet.EXE"), L"Quillet");
    EXPECT_EQ(applicationNameOf(L"/opt/quillet/Quillet.exe"), L"Quillet");
    EXPECT_EQ(applicationNameOf(L"/opt/quillet/run.sh"), L"run.sh");
    EXPECT_EQ(applicationNameOf(L"exe"), L"exe");
    EXPECT_EQ(applicationNameOf(L""), L"Unknown application name");
    EXPECT_EQ(localAppDataPath(), dataFolder().wstring());
    EXPECT_TRUE(std::regex_match(platform::toUtf8(logTimestamp()), std::regex(kStamp)));
}

TEST_F(LogMessageTest, EachRunStartsAFreshFile)
{
    ASSERT_FALSE(std::filesystem::exists(dataFolder()));
    for (const char* run : {"first", "second"}) {
        ASSERT_EQ(runInChild([run] {
                      LogMessage(INFO) << run << " run, line 1";
                      LogMessage(INFO) << run << " run, line 2";
                      return 0;
                  }),
                  0);
    }
    // The first statement also created the missing folders.
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(kStamp + " -INFO- second run, line 1")));
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(kStamp + " -INFO- second run, line 2")));
}

TEST_F(LogMessageTest, LineLayoutOfEveryLevel)
{
    ASSERT_EQ(runInChild([] {
                  LogMessage(INFO) << L"wide " << 42 << " narrow " << std::string("text") << ' ' << -7;
                  LogMessage(WARNING) << "warned";
                  LogMessage(ERROR) << "failed";
                  LogMessage(CRITICAL) << "critical";
                  LogMessage{ERROR};
                  LogMessage(17, L"clientproxy.cpp") << "traced";
                  LogMessage(DEBUG) << "no source";
                  LogMessage(5, nullptr, DEBUG);
                  LogMessage(static_cast<LogLevel>(9)) << "odd level";
                  {
                      ScopeTrace trace(L"ClientProxy::BeginEvent", L"clientproxy.cpp", 120);
                      LogMessage(INFO) << "inside";
                  }
                  return 0;
              }),
              0);
    const std::vector<std::string> expected = {
        " -INFO- wide 42 narrow text -7",
        " -WARNING- warned",
        " -ERROR- failed",
        " -CRITICAL- critical",
        " -ERROR- ",
        " -DEBUG- clientproxy.cpp 17 traced",
        " -DEBUG- <none> 0 no source",
        " -DEBUG- <none> 5 ",
        " -UNKNOWN- odd level",
        " -DEBUG- clientproxy.cpp 120 ClientProxy::BeginEvent ENTER",
        " -INFO- inside",
        " -DEBUG- clientproxy.cpp 120 ClientProxy::BeginEvent EXIT",
    };
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_GE(lines[i].size(), 17u);
        EXPECT_TRUE(std::regex_match(lines[i].substr(0, 17), std::regex(kStamp))) << lines[i];
        EXPECT_EQ(lines[i].substr(17), expected[i]);
    }
    EXPECT_EQ(readFile(logFile()).find('\r'), std::string::npos);
}

TEST_F(LogMessageTest, WithoutLocalAppDataNothingIsWrittenAllRun)
{
    writeRegistry("Windows Registry Editor Version 5.00\n"
                  "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
                  "\"Local AppData\"=-\n");
    const std::string restored = "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                 "Shell Folders]\n\"Local AppData\"=\"" + dataFolder().string() + "\"\n";
    ASSERT_EQ(runInChild([&] {
                  LogMessage(ERROR) << "dropped";
                  // Even once the value is back, the run stays silent.
                  writeRegistry(restored);
                  LogMessage(ERROR) << "dropped too";
                  return 0;
              }),
              0);
    EXPECT_FALSE(std::filesystem::exists(dataFolder()));
}

TEST_F(LogMessageTest, UnwritableFolderIsSilent)
{
    std::filesystem::create_directories(m_root / "blocked");
    std::ofstream(m_root / "blocked" / "Corvane") << "a file where the folder should be";
    writeRegistry("[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
                  "\"Local AppData\"=\"" + (m_root / "blocked").string() + "\"\n");
    EXPECT_EQ(runInChild([] {
                  LogMessage(ERROR) << "dropped";
                  std::ofstream file;
                  return openLogFile(file) ? 1 : 0;
              }),
              0);
    EXPECT_EQ(readFile(m_root / "blocked" / "Corvane"), "a file where the folder should be");
}

}  // namespace
