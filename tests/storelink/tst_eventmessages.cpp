// Event messages through the real link and the local dispatcher service.
#include "linktest.h"

#include "diagnostics/abstractcrashreport.h"
#include "diagnostics/crashreportwriter.h"
#include "diagnostics/veskexception.h"
#include "storelink/clientproxy.h"
#include "storelink/dispatchersession.h"

#include <filesystem>

using namespace com::corvane::vesk;

namespace {

const std::string kBlanks(36, ' ');
const uint32_t kWords[4] = {0x5e0b7d21, 0x3f4c4b9a, 0x8c2d9a1e, 0x6f3b7c40};
const std::string kIdText = "5e0b7d21-3f4c-4b9a-8c2d-9a1e6f3b7c40";

size_t sent(const DispatcherProcess& dispatcher, const std::string& type)
{
    size_t count = 0;
    for (auto& entry : dispatcher.entries("SendMessage"))
        count += entry["type"] == type;
    return count;
}

std::string payloadOf(const DispatcherProcess& dispatcher, const std::string& type)
{
    for (auto& entry : dispatcher.entries("SendMessage")) {
        if (entry["type"] == type)
            return entry["payload"];
    }
    return "(not sent)";
}

size_t filesUnder(const std::string& folder)
{
    if (!std::filesystem::exists(folder))
        return 0;
    size_t count = 0;
    for (auto& entry : std::filesystem::recursive_directory_iterator(folder))
        count += entry.is_regular_file();
    return count;
}

}  // namespace

TEST_F(LinkTest, StatusRequestAndBeginPayloadsAreSentByteForByte)
{
    DispatcherProcess& dispatcher = startDispatcher();
    ClientProxy proxy;
    EXPECT_EQ(payloadOf(dispatcher, "application_service_status_request"),
              "<XMLPayload><![CDATA[<applicationServiceStatusReq>\n\t<Version>1.1.2</Version>"
              "\n\t<APILevel>3</APILevel></applicationServiceStatusReq>]]></XMLPayload>");
    EXPECT_EQ(proxy.BeginEvent(), 0);
    EXPECT_EQ(payloadOf(dispatcher, "application_begin_set"),
              "<XMLPayload><![CDATA[<applicationBeginSet>\n\t<Version>1.1.2</Version>"
              "\n\t<ApplicationUUID>" + kBlanks +
                  "</ApplicationUUID></applicationBeginSet>]]></XMLPayload>");
    ClientProxy::setApplicationIdentifier(kWords);
    EXPECT_EQ(proxy.EndEvent(), 0);
    EXPECT_EQ(payloadOf(dispatcher, "application_completion_set"),
              "<XMLPayload><![CDATA[<applicationCompletionSet>\n\t<Version>1.1.2</Version>"
              "\n\t<ApplicationUUID>" + kIdText +
                  "</ApplicationUUID>\n\t<ExitCode>OK</ExitCode></applicationCompletionSet>]]>"
                  "</XMLPayload>");
}

TEST_F(LinkTest, BeginEventSendsOnceAndEndEventSendsEachTime)
{
    DispatcherProcess& dispatcher = startDispatcher();
    ClientProxy proxy;
    EXPECT_EQ(proxy.BeginEvent(), 0);
    EXPECT_EQ(proxy.BeginEvent(), 0);
    EXPECT_EQ(sent(dispatcher, "application_begin_set"), 1u);
    EXPECT_EQ(proxy.EndEvent(), 0);
    EXPECT_EQ(proxy.EndEvent(), 0);
    EXPECT_EQ(sent(dispatcher, "application_completion_set"), 2u);
}

TEST_F(LinkTest, EndEventWithoutBeginWarnsWithEightAndSendsNothing)
{
    DispatcherProcess& dispatcher = startDispatcher();
    ClientProxy proxy;
    try {
        proxy.EndEvent();
        FAIL() << "no exception";
    } catch (const VeskWarningException& e) {
        EXPECT_EQ(e.code(), 8);
        EXPECT_EQ(e.message(), "The BeginEvent() function has not been called or failed.");
    }
    EXPECT_EQ(sent(dispatcher, "application_completion_set"), 0u);
}

TEST_F(LinkTest, BeginEventAnsweredWithStatusOneRaisesThreeAndStaysUnbegun)
{
    startDispatcher({"--status-for", "application_begin_set=1"});
    ClientProxy proxy;
    try {
        proxy.BeginEvent();
        FAIL() << "no exception";
    } catch (const VeskRuntimeException& e) {
        EXPECT_EQ(e.code(), 3);
    }
    EXPECT_THROW(proxy.EndEvent(), VeskWarningException);
}

TEST_F(LinkTest, EventWithoutReplyRaisesNineAfterTheTimeOut)
{
    startDispatcher({"--no-reply-for", "application_begin_set"});
    ClientProxy proxy;
    try {
        proxy.BeginEvent();
        FAIL() << "no exception";
    } catch (const VeskRuntimeException& e) {
        EXPECT_EQ(e.code(), 9);
    }
}

TEST_F(LinkTest, CrashReportEventNamesTheWrittenReport)
{
    DispatcherProcess& dispatcher = startDispatcher();
    ClientProxy proxy;
    ClientProxy::setApplicationIdentifier(kWords);
    CrashCustomField field{L"build", L"test"};
    EXPECT_EQ(proxy.SendCrashReport(L"main.cpp", L"boom", L"Access violation", 42, L"frames",
                                    &field, 1),
              0);
    const std::string report = lastCrashReportPath();
    EXPECT_TRUE(std::filesystem::exists(report)) << report;
    EXPECT_EQ(payloadOf(dispatcher, "crash_report_set"),
              "<XMLPayload><![CDATA[<crashReportSet>\n\t<Version>1.1.2</Version>"
              "\n\t<ApplicationUUID>" + kIdText + "</ApplicationUUID>\n\t<CrashInfoDirectoryPath>" +
                  report + "</CrashInfoDirectoryPath>\n\t<NativeFlag>0</NativeFlag>"
                  "</crashReportSet>]]></XMLPayload>");
}

TEST_F(LinkTest, CrashReportOnClosedLinkReturnsOneAndWritesNothing)
{
    ClientProxy* closed = nullptr;
    {
        startDispatcher();
        closed = new ClientProxy;
        DispatcherSession::instance().close();
    }
    EXPECT_EQ(closed->SendCrashReport(L"m", L"e", L"c", 1, L"d", nullptr, 0), 1);
    EXPECT_EQ(filesUnder(path("data")) + filesUnder(path("home")), 0u);
    delete closed;
}

TEST_F(LinkTest, FailedReportWriteReturnsItsCodeAndSendsNothing)
{
    DispatcherProcess& dispatcher = startDispatcher();
    ClientProxy proxy;
    // Error data longer than 4000 characters: written without it, result 4.
    const std::wstring longData(4001, L'x');
    EXPECT_EQ(proxy.SendCrashReport(L"m", L"e", L"c", 1, longData.c_str(), nullptr, 0), 4);
    EXPECT_EQ(sent(dispatcher, "crash_report_set"), 0u);
}
