// The default crash report's fields and the fault filter's order, on faults
// described in memory (no signal is raised here).

#include "diagnostics/callstack.h"
#include "diagnostics/crashreportsink.h"
#include "diagnostics/defaultcrashreport.h"
#include "diagnostics/faulthandler.h"
#include "diagnostics/veskexception.h"
#include "faultharness.h"
#include "platform/faultinformation.h"

#include <gtest/gtest.h>

#include <string>
#include <ucontext.h>
#include <vector>

using namespace com::corvane::vesk;

namespace {

// Keeps the warning the end event raises out of the user's log.
class IsolatedLog : public ::testing::Environment {
public:
    void SetUp() override { m_home.useInThisProcess(); }

private:
    FaultHome m_home;
};
const auto* const s_isolatedLog = ::testing::AddGlobalTestEnvironment(new IsolatedLog);

struct SentReport {
    std::wstring moduleName, errorText, category, errorData;
    int32_t lineNumber = -1;
    const CrashCustomField* customFields = nullptr;
    int32_t customFieldCount = -1;
};

std::vector<std::string> s_events;

class RecordingSink : public CrashReportSink {
public:
    ~RecordingSink() override { s_events.push_back("link released"); }
    int SendCrashReport(const wchar_t* moduleName, const wchar_t* errorText, const wchar_t* category,
                        int32_t lineNumber, const wchar_t* errorData, CrashCustomField* customFields,
                        int32_t customFieldCount) override
    {
        s_events.push_back("report sent");
        sent = {moduleName, errorText, category, errorData, lineNumber, customFields,
                customFieldCount};
        return 0;
    }
    SentReport sent;
};

class RecordingReport : public DefaultCrashReport {
public:
    ~RecordingReport() override { s_events.push_back("report released"); }
};

// A stack of four frames in an array, and a processor context pointing at it.
struct FakeFault {
    FakeFault(uint32_t code)
    {
        for (int i = 0; i < 4; ++i) {
            words[i * 8] = i < 3 ? reinterpret_cast<uintptr_t>(&words[(i + 1) * 8]) : 0;
            words[i * 8 + 1] = 0x1111 * uintptr_t(i + 1);
        }
#if defined(__x86_64__)
        context.uc_mcontext.gregs[REG_RBP] = reinterpret_cast<greg_t>(&words[0]);
#elif defined(__aarch64__)
        context.uc_mcontext.regs[29] = reinterpret_cast<uintptr_t>(&words[0]);
#endif
        info.exceptionCode = code;
        info.context = &context;
        info.stackLow = reinterpret_cast<uintptr_t>(&words[0]);
        info.stackHigh = reinterpret_cast<uintptr_t>(&words[64]);
    }
    uintptr_t words[64] = {};
    ucontext_t context = {};
    platform::FaultInformation info;
};

TEST(DefaultCrashReport, reportsTheFaultNameCodeAndCallStackWithoutTheTwoInnermostEntries)
{
    FakeFault fault(0xC0000005);
    RecordingSink sink;
    DefaultCrashReport report;
    EXPECT_EQ(report.reportCrash(&sink, &fault.info), 0);
    EXPECT_EQ(sink.sent.category, L"ACCESS VIOLATION");
    EXPECT_EQ(sink.sent.errorText,
              L"An unrecoverable exception occurred: ACCESS VIOLATION, Code: 3221225477");
    EXPECT_EQ(sink.sent.moduleName, L"N/A - (Current Application)");
    EXPECT_EQ(sink.sent.lineNumber, 0);
    EXPECT_EQ(sink.sent.customFields, nullptr);
    EXPECT_EQ(sink.sent.customFieldCount, 0);
    ASSERT_EQ(report.callStack().entries().size(), 2u);
    EXPECT_EQ(report.callStack().entries()[0].address, 0x3333u);
    EXPECT_EQ(sink.sent.errorData, report.callStack().text(3999));
    EXPECT_NE(sink.sent.errorData.find(L"(0x" + std::wstring(sizeof(uintptr_t) * 2 - 4, L'0')
                                       + L"3333)"),
              std::wstring::npos);
}

TEST(DefaultCrashReport, anEmptyStackKeepsTheInitialModuleNameAndLine)
{
    platform::FaultInformation breakpoint;
    breakpoint.exceptionCode = 0x80000003;
    RecordingSink sink;
    DefaultCrashReport report;
    report.reportCrash(&sink, &breakpoint);
    EXPECT_EQ(sink.sent.category, L"UNKNOWN EXCEPTION");
    EXPECT_EQ(sink.sent.errorText,
              L"An unrecoverable exception occurred: UNKNOWN EXCEPTION, Code: 2147483651");
    EXPECT_EQ(sink.sent.moduleName, L"Unknown");
    EXPECT_EQ(sink.sent.errorData, L"<CallStack>\n</CallStack>\n");

    platform::FaultInformation longest;
    longest.exceptionCode = 0xC0000025;
    DefaultCrashReport other;
    other.reportCrash(&sink, &longest);
    EXPECT_EQ(sink.sent.errorText.size(), 79u);
}

class FaultFilterTest : public ::testing::Test {
protected:
    void SetUp() override { s_events.clear(); }
    void TearDown() override
    {
        delete activeCrashReport.exchange(nullptr);
        delete activeStoreLink.exchange(nullptr);
        setEndEventFunction(nullptr);
    }
};

TEST_F(FaultFilterTest, reportsThenEndsTheEventThenReleasesReportAndLinkOnce)
{
    FakeFault fault(0xC0000094);
    auto* sink = new RecordingSink;
    activeStoreLink.store(sink);
    activeCrashReport.store(new RecordingReport);
    setEndEventFunction([](CrashReportSink*) -> int {
        s_events.push_back("end event");
        throw VeskWarningException("The BeginEvent() function has not been called or failed.", 8);
    });
    EXPECT_EQ(faultFilter(&fault.info), 1);
    EXPECT_EQ(s_events, (std::vector<std::string>{"report sent", "end event", "report released",
                                                  "link released"}));
    EXPECT_EQ(activeCrashReport.load(), nullptr);
    EXPECT_EQ(activeStoreLink.load(), nullptr);

    s_events.clear();
    EXPECT_EQ(faultFilter(&fault.info), 1);  // a second fault finds nothing to use
    EXPECT_TRUE(s_events.empty());
}

TEST_F(FaultFilterTest, withoutLinkNothingIsReportedButTheReportIsReleased)
{
    FakeFault fault(0xC0000005);
    activeCrashReport.store(new RecordingReport);
    setEndEventFunction([](CrashReportSink*) -> int {
        s_events.push_back("end event");
        return 0;
    });
    EXPECT_EQ(faultFilter(&fault.info), 1);
    EXPECT_EQ(s_events, std::vector<std::string>{"report released"});

    s_events.clear();
    activeStoreLink.store(new RecordingSink);  // disarmed: only the link is left
    EXPECT_EQ(faultFilter(&fault.info), 1);
    EXPECT_EQ(s_events, std::vector<std::string>{"link released"});
}

}  // namespace
