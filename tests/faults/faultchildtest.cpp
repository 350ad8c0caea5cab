// Real faults in child processes of faultchild, with the local dispatcher
// service running: how each child died, the report it left, what the service
// received, and the time from fault to exit.

#include "faultharness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <regex>

namespace {

struct FaultCase {
    const char* kind;
    int signal;
    const char* category;
    const char* code;  // as written in the error text
    int minFrames;     // entries left in the call stack text at least
};

void PrintTo(const FaultCase& c, std::ostream* out)
{
    *out << c.kind;
}

const std::string ChildName = "faultchild";

std::string element(const std::string& document, const std::string& name)
{
    const std::string open = "<" + name + ">";
    const auto begin = document.find(open);
    const auto end = document.find("</" + name + ">", begin);
    if (begin == std::string::npos || end == std::string::npos)
        return "(missing)";
    return document.substr(begin + open.size(), end - begin - open.size());
}

int frameCount(const std::string& callStack)
{
    int n = 0;
    for (auto at = callStack.find("<StackFrame>"); at != std::string::npos;
         at = callStack.find("<StackFrame>", at + 1))
        ++n;
    return n;
}

class FaultChildTest : public ::testing::TestWithParam<FaultCase> {
protected:
    ChildResult crash(const std::string& kind, const std::vector<std::string>& options = {})
    {
        m_home.setDispatcherPort(m_dispatcher.port());
        std::vector<std::string> argv = {FAULT_CHILD, kind};
        argv.insert(argv.end(), options.begin(), options.end());
        ChildResult result = runChild(argv, m_home.environment(), 20000);
        std::printf("[ figure ] %-20s ended by signal %d, fault to exit %.1f ms\n", kind.c_str(),
                    result.signal, result.faultToExitSeconds() * 1000);
        return result;
    }

    FaultHome m_home;
    LocalDispatcher m_dispatcher{m_home.root()};
};

// Layout of the call stack text: pointer-width upper-case addresses.
const std::regex CallStackShape(
    "<CallStack>\n"
    "(<StackFrame><ModuleName>N/A - \\(Current Application\\)</ModuleName>\n"
    "<SymbolName>N/A</SymbolName>\n"
    "(<Address>\\(0x[0-9A-F]{16}\\)</Address>\n)?"
    "</StackFrame>\n)*"
    "</CallStack>\n");

TEST_P(FaultChildTest, faultIsReportedAnnouncedAndEndsTheProcessBySignal)
{
    const FaultCase c = GetParam();
    ASSERT_GT(m_dispatcher.port(), 0);
    const ChildResult result = crash(c.kind);
    ASSERT_FALSE(result.timedOut) << result.output;
    EXPECT_EQ(result.signal, c.signal) << result.output;
    EXPECT_GT(result.faultAt, 0) << result.output;
    EXPECT_LT(result.faultToExitSeconds(), 2.0);

    const std::vector<std::string> reports = m_home.reportFiles();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(std::regex_match(
        reports[0], std::regex(".*/faultchild \\d{4}-\\d\\d-\\d\\dT\\d\\d-\\d\\d-\\d\\d\\.00\\.xml")))
        << reports[0];
    const std::string report = readFile(reports[0]);
    EXPECT_EQ(report.rfind("<?xml", 0), 0u);
    EXPECT_NE(report.find("<CrashReport>\n\t<faultchild>\n"), std::string::npos) << report;
    EXPECT_NE(report.find("</faultchild>\n</CrashReport>"), std::string::npos) << report;
    EXPECT_EQ(element(report, "Category"), c.category);
    EXPECT_EQ(element(report, "Error"),
              std::string("An unrecoverable exception occurred: ") + c.category + ", Code: " + c.code);
    const std::string callStack = element(report, "ErrorData");
    EXPECT_TRUE(std::regex_match(callStack, CallStackShape)) << callStack;
    EXPECT_GE(frameCount(callStack), c.minFrames) << callStack;
    EXPECT_LE(callStack.size(), 3999u);
    EXPECT_EQ(element(report, "ModuleName"),
              frameCount(callStack) ? "N/A - (Current Application)" : "Unknown");

    const auto announced = m_dispatcher.messagesOfType("crash_report_set");
    ASSERT_EQ(announced.size(), 1u);
    const std::string fileName = reports[0].substr(reports[0].rfind('/') + 1);
    EXPECT_NE(announced[0].find("<CrashInfoDirectoryPath>" + m_home.reportFolder() + "/" + fileName),
              std::string::npos)
        << announced[0];
    // The end event is contained: the warning it raises is logged, nothing sent.
    EXPECT_TRUE(m_dispatcher.messagesOfType("application_completion_set").empty());
    EXPECT_NE(readFile(m_home.logFile(ChildName))
                  .find("-WARNING- The BeginEvent() function has not been called or failed. (Code: 8)"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultChildTest,
    ::testing::Values(
        FaultCase{"null-write", SIGSEGV, "ACCESS VIOLATION", "3221225477", 2},
        FaultCase{"int-divide", SIGFPE, "INT DIVIDE BY ZERO", "3221225620", 2},
        FaultCase{"illegal-instruction", SIGILL, "ILLEGAL INSTRUCTION", "3221225501", 2},
        // 98 entries are left; 26 of 148 characters fit the error data.
        FaultCase{"stack-overflow", SIGSEGV, "STACK OVERFLOW", "3221225725", 26},
        FaultCase{"thread", SIGSEGV, "ACCESS VIOLATION", "3221225477", 2},
        FaultCase{"two-threads", SIGSEGV, "ACCESS VIOLATION", "3221225477", 2},
#if defined(__x86_64__)
        // frame pointer 0x10: a report at all shows the walk did not fault
        FaultCase{"broken-chain", SIGSEGV, "ACCESS VIOLATION", "3221225477", 0},
#endif
        // abort() inside the allocator, with the main arena locked; the C
        // library keeps no frame pointers, so the chain may end at once.
        FaultCase{"double-free", SIGABRT, "UNKNOWN EXCEPTION", "1073741845", 0}),
    [](const ::testing::TestParamInfo<FaultCase>& info) {
        std::string name = info.param.kind;
        for (char& ch : name)
            ch = ch == '-' ? '_' : ch;
        return name;
    });

TEST_F(FaultChildTest, faultAfterTheContextWasDestroyedEndsTheProcessWithoutReport)
{
    const ChildResult result = crash("destroyed");
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.signal, SIGSEGV);
    EXPECT_TRUE(m_home.reportFiles().empty());
    EXPECT_TRUE(m_dispatcher.messagesOfType("crash_report_set").empty());
    const std::string log = readFile(m_home.logFile(ChildName));
    EXPECT_NE(log.find("-INFO- Vesk application destroyed!"), std::string::npos) << log;
}

TEST_F(FaultChildTest, stackOverflowOnAThreadWithoutSignalStackEndsTheProcessUnreported)
{
    // Signal stacks are per thread; the kernel cannot run the handler on the
    // exhausted stack and kills the process by SIGSEGV at once.
    const ChildResult result = crash("thread-stack-overflow");
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.signal, SIGSEGV);
    EXPECT_TRUE(m_home.reportFiles().empty());
}

TEST_F(FaultChildTest, faultWhileReportingEndsTheProcessAtOnce)
{
    const ChildResult result = crash("fault-in-report");
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.signal, SIGSEGV);  // the reporting thread's own fault
    EXPECT_LT(result.faultToExitSeconds(), 1.0);
    EXPECT_TRUE(m_home.reportFiles().empty());
    EXPECT_TRUE(m_dispatcher.messagesOfType("crash_report_set").empty());
}

TEST_F(FaultChildTest, silentServiceIsCutOffByTheWatchdogAfterTheReportIsWritten)
{
    LocalDispatcher silent(m_home.root() + "/home", {"--no-reply-for", "crash_report_set"});
    m_home.setDispatcherPort(silent.port());
    const ChildResult result = runChild({FAULT_CHILD, "null-write", "--time-limit", "1000"},
                                        m_home.environment(), 20000);
    std::printf("[ figure ] silent service: fault to exit %.1f ms\n",
                result.faultToExitSeconds() * 1000);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.signal, SIGSEGV);
    EXPECT_GE(result.faultToExitSeconds(), 0.9);
    EXPECT_LT(result.faultToExitSeconds(), 3.0);
    ASSERT_EQ(m_home.reportFiles().size(), 1u);
    EXPECT_NE(readFile(m_home.reportFiles()[0]).find("</CrashReport>"), std::string::npos);
    EXPECT_EQ(silent.messagesOfType("crash_report_set").size(), 1u);
}

TEST_F(FaultChildTest, childWithoutServiceCannotArmAndEndsWithCodeThree)
{
    m_home.setDispatcherPort(0);
    const ChildResult result = runChild({FAULT_CHILD, "null-write"}, m_home.environment(), 20000);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 3) << result.output;
    EXPECT_TRUE(m_home.reportFiles().empty());
}

}  // namespace
