// Real faults in child processes of faultchild and of the store executables, with the
// local dispatcher service running: how each ended, its report and its crash event.

#include "fixtures.h"

#include <algorithm>
#include <csignal>
#include <regex>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const auto npos = std::string::npos;

class FaultTest : public DispatcherTest {
protected:
    std::string log(const std::string& program) const
    {
        return readFile(sdkFolder() / "Log" / (program + ".log"));
    }
    auto crashEvents() const { return m_dispatcher->messages("crash_report_set"); }
};

std::string element(const std::string& document, const std::string& name)
{
    const auto begin = document.find("<" + name + ">"),
               end = document.find("</" + name + ">", begin);
    return begin == npos || end == npos
               ? "(missing)"
               : document.substr(begin + name.size() + 2, end - begin - name.size() - 2);
}

struct FaultCase {
    const char* kind;
    int signal;
    const char* error;     // "<category>, Code: <code>"; nullptr: the process ends without a report
    const char* faulting;  // the function of the first entry; nullptr: not checked
    const char* outermost;  // main, or the module of the last entry; nullptr: not checked
    const char* option = nullptr;
    // CTest's test names show the fault's name, not the bytes of the case.
    friend void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.kind; }
};

class FaultChildTest : public FaultTest, public ::testing::WithParamInterface<FaultCase> { };

// Pointer-width upper-case addresses; the entry of a return address 0 has none.
const std::regex kCallStackShape(
    "<CallStack>\n(<StackFrame><ModuleName>N/A - \\(Current Application\\)</ModuleName>\n"
    "<SymbolName>N/A</SymbolName>\n(<Address>\\(0x[0-9A-F]{16}\\)</Address>\n)?</StackFrame>\n)*</"
    "CallStack>\n");

// quillet-symbolize's entries for a report: "#N 0x... module+0x... function at file:line".
std::string symbolized(const std::string& report)
{
    const ChildResult result = runChild({QUILLET_SYMBOLIZE, report}, 20000);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::string entries;
    std::istringstream in(result.output);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("#", 0) == 0)
            entries += line + "\n";
    return entries;
}

bool reachesMain(const std::string& stack)
{
    return std::regex_search(
        stack, std::regex(R"((^|\n)#\d+ +0x[0-9a-f]{16} +\S+\+0x[0-9a-f]+ +main( at [^\n]*)?\n)"));
}

TEST_P(FaultChildTest, faultEndsTheProcessBySignalAfterItsReportAndEvent)
{
    const FaultCase c = GetParam();
    startDispatcher();
    std::vector<std::string> argv{FAULT_CHILD, c.kind};
    if (c.option)
        argv.push_back(c.option);
    const ChildResult result = runChild(argv, 20000);
    EXPECT_EQ(result.signal, c.signal) << result.output;
    EXPECT_GT(result.faultAt(), 0) << result.output;
    EXPECT_LT(result.faultToExitSeconds(), 2.0) << "the watchdog (5 s) ended it";
    ASSERT_EQ(crashReports().size(), c.error ? 1u : 0u);
    ASSERT_EQ(crashEvents().size(), crashReports().size())
        << "one report, however many threads fault";
    if (!c.error)
        return;
    EXPECT_EQ(m_dispatcher->entries("EndSession").size(), 1u);
    const std::string path = crashReports()[0], report = readFile(path);
    EXPECT_NE(crashEvents()[0]["payload"].find("<CrashInfoDirectoryPath>" + path + "</"), npos);
    EXPECT_EQ(element(report, "Error"),
              std::string("An unrecoverable exception occurred: ") + c.error);
    const std::string callStack = element(report, "ErrorData");
    EXPECT_TRUE(std::regex_match(callStack, kCallStackShape)) << callStack;

    const std::string stack = symbolized(path);
    const std::string last = stack.substr(stack.rfind('\n', stack.size() - 2) + 1);
    EXPECT_LT(stack.find(c.faulting ? c.faulting : "#0 "), stack.find('\n')) << stack;
    if (c.outermost) {
        EXPECT_TRUE(std::string(c.outermost) == "main" ? reachesMain(stack)
                                                       : last.find(c.outermost) != npos)
            << stack;
    }
}

const char* const kAv = "ACCESS VIOLATION, Code: 3221225477";
const FaultCase kFaults[]
    = {{"null-write", SIGSEGV, kAv, "writeThroughNull()", "main"},
       {"event-loop-slot", SIGSEGV, kAv, "TimerTarget::faultInSlot()", "main"},
       {"stack-overflow", SIGSEGV, "STACK OVERFLOW, Code: 3221225725", "recurse(", "main"},
       // the fallback walk misses the caller of a leaf built without a frame
       {"null-write", SIGSEGV, kAv, "writeThroughNull()", "libc.so", "--frame-pointers"},
       {"int-divide", SIGFPE, "INT DIVIDE BY ZERO, Code: 3221225620", nullptr, "main"},
       {"illegal-instruction", SIGILL, "ILLEGAL INSTRUCTION, Code: 3221225501", nullptr, "main"},
       // on two worker threads at once: one report, a stack down to the thread start
       {"two-threads", SIGSEGV, kAv, "writeThroughNull()", "libc.so"},
#if defined(__x86_64__)
       // frame pointer 0x10 in code without call-frame information: the walk must not fault
       {"broken-chain", SIGSEGV, kAv, nullptr, nullptr},
#endif
       // abort() inside the allocator with its arena locked
       {"double-free", SIGABRT, "UNKNOWN EXCEPTION, Code: 1073741845", nullptr, "main"},
       // after the context is destroyed there is nothing to report with
       {"destroyed", SIGSEGV, nullptr, nullptr, nullptr},
       // the reporting thread's own fault ends the process
       {"fault-in-report", SIGSEGV, nullptr, nullptr, nullptr}};

INSTANTIATE_TEST_SUITE_P(Faults, FaultChildTest, ::testing::ValuesIn(kFaults),
                         [](const auto& info) {
                             std::string name = info.param.kind;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name + (info.param.option ? "_frame_pointers" : "");
                         });

TEST_F(FaultTest, silentServiceGetsTheReportAndEndSessionWithinTheWatchdogsTime)
{
    // The reply wait (TimeOut 10 s) is cut to the fault's deadline, so the
    // link is still closed in order before the watchdog (5 s) would strike.
    startDispatcher({"--no-reply-for", "crash_report_set"});
    writeRegistry(linkRegistry(m_dispatcher->port(), 10));
    const ChildResult result = runChild({FAULT_CHILD, "null-write"}, 20000);
    EXPECT_EQ(result.signal, SIGSEGV);
    EXPECT_GE(result.faultToExitSeconds(), 1.0) << "the reply was awaited";
    EXPECT_LT(result.faultToExitSeconds(), 4.5);
    EXPECT_EQ(crashReports().size(), 1u);
    EXPECT_EQ(crashEvents().size(), 1u);
    EXPECT_EQ(m_dispatcher->entries("EndSession").size(), 1u);
}

// The store executables of the test build, one per engine, run for real (offscreen).
class StoreExecutableTest : public FaultTest, public ::testing::WithParamInterface<std::string> {
protected:
    // The program's name, which names its log and its crash report's root element.
    std::string name() const { return fs::path(GetParam()).filename().string(); }

    // Starts the program and waits until seen() holds (20 s at most) and its event loop runs.
    pid_t start(const std::function<bool()>& seen)
    {
        const std::string output = (root() / "output.txt").string();
        const pid_t pid = startChild({GetParam()}, output);
        for (int waited = 0; waited < 20000 && !seen(); waited += 20)
            usleep(20000);
        EXPECT_TRUE(seen()) << readFile(output);
        usleep(300000);
        return pid;
    }
    pid_t startCreated()
    {
        return start([this] { return log(name()).find("created successfully!") != npos; });
    }
    // The window saved its geometry (in the settings of the sample app beside the executable).
    bool windowWasShown() const
    {
        return fs::exists(configFolder() / "quillet-sample/settings.ini");
    }
};

TEST_P(StoreExecutableTest, killSegvOfTheRunningProgramIsReportedAndEndsIt)
{
    startDispatcher();
    const pid_t pid = startCreated();
    // In the event loop: the first page load's stack alone can fill the hundred entries.
    waitUntilIdle(pid, 300, 10000);
    const long long sent = monotonicNanoseconds();
    kill(pid, SIGSEGV);
    const ChildResult result = waitChild(pid, 10000);
    EXPECT_LT(result.endedAt - sent, 2000000000LL) << "the watchdog (5 s) ended it";
    EXPECT_EQ(result.signal, SIGSEGV);
    ASSERT_EQ(crashReports().size(), 1u);
    const std::string report = readFile(crashReports()[0]);
    EXPECT_NE(report.find("<Category>ACCESS VIOLATION</Category>"), npos) << report;
    EXPECT_NE(report.find("<" + name() + ">"), npos);
    ASSERT_EQ(crashEvents().size(), 1u);
    EXPECT_NE(crashEvents()[0]["payload"].find(crashReports()[0]), npos);
    // The main thread, waiting in the event loop: through Qt to main.
    const std::string stack = symbolized(crashReports()[0]);
    EXPECT_NE(stack.find("QEventLoop::exec("), npos) << stack;
    EXPECT_TRUE(reachesMain(stack)) << stack;
}

// SIGTERM ends the event loop in order and the window saves its geometry; a hung
// service (SIGSTOP: accepts connections, answers nothing) does not hold the end up.
TEST_P(StoreExecutableTest, sigtermEndsItInOrderSoonEvenWithAHungService)
{
    startDispatcher();
    const pid_t pid = startCreated();
    kill(m_dispatcher->pid(), SIGSTOP);
    const long long sent = monotonicNanoseconds();
    kill(pid, SIGTERM);
    const ChildResult result = waitChild(pid, 15000);
    kill(m_dispatcher->pid(), SIGCONT);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_LT(result.endedAt - sent, 3500000000LL)
        << "UnsubscribeTopic and EndSession waited 5 s each";
    EXPECT_TRUE(windowWasShown());
    const std::string text = log(name());
    const auto destroyed = text.find("-INFO- Vesk application destroyed!");
    EXPECT_TRUE(destroyed != npos && text.find("created successfully!") < destroyed) << text;
    EXPECT_TRUE(crashReports().empty());
}

TEST_P(StoreExecutableTest, sigtermWhileTheStartUpWaitsForTheServiceEndsItAtOnce)
{
    startDispatcher({"--no-reply"});
    writeRegistry(linkRegistry(m_dispatcher->port(), 20));
    const pid_t pid = start(
        [this] { return !m_dispatcher->messages("application_service_status_request").empty(); });
    const long long sent = monotonicNanoseconds();
    kill(pid, SIGTERM);
    const ChildResult result = waitChild(pid, 15000);
    EXPECT_LT(result.endedAt - sent, 2000000000LL) << "TimeOut is 20 s";
    EXPECT_EQ(result.exitCode, 0) << "no message box waits for a user";
    EXPECT_FALSE(windowWasShown());
    EXPECT_EQ(m_dispatcher->entries("EndSession").size(), 1u) << "the link was closed in order";
}

const std::string kStores[] = {QUILLET_STORE,
#ifdef QUILLET_WEBENGINE_STORE
                               QUILLET_WEBENGINE_STORE
#endif
};
INSTANTIATE_TEST_SUITE_P(Engines, StoreExecutableTest, ::testing::ValuesIn(kStores),
                         [](const auto& info) { return info.index ? "webengine" : "webkit"; });

}  // namespace
