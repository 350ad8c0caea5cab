#include "storelink/clientproxy.h"

#include "diagnostics/abstractcrashreport.h"
#include "diagnostics/crashreportwriter.h"
#include "diagnostics/modulelist.h"
#include "diagnostics/veskexception.h"
#include "storelink/dispatchersession.h"
#include "storelink/eventpayload.h"

#include <cstdio>

namespace com { namespace corvane { namespace vesk {

namespace {

DispatcherSession& session()
{
    return DispatcherSession::instance();
}

int beginEvent()
{
    if (!session().isOpen())
        return 1;
    if (session().begun().load() != 0)
        return 0;
    const int result = session().exchange("application_begin_set",
                                          EventPayload::begin(session().applicationIdBuffer()));
    if (result == 0)
        session().begun() = 1;
    return result;
}

int endEvent()
{
    if (!session().isOpen())
        return 1;
    if (session().begun().load() == 0)
        return 8;
    return session().exchange("application_completion_set",
                              EventPayload::completion(session().applicationIdBuffer()));
}

}  // namespace

ClientProxy::ClientProxy()
{
    const int result = session().open();
    if (result != 0)
        throw InitializationException("The link to the dispatcher service could not be opened",
                                      result);
}

ClientProxy::~ClientProxy()
{
    session().close();
}

void ClientProxy::setApplicationIdentifier(const uint32_t words[4])
{
    char text[40];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%04x-%04x%08x", words[0], words[1] >> 16,
                  words[1] & 0xffffu, words[2] >> 16, words[2] & 0xffffu, words[3]);
    session().setApplicationIdText(text);
}

int ClientProxy::BeginEvent()
{
    const int result = beginEvent();
    if (result != 0)
        throw VeskRuntimeException("The Vesk runtime has experienced an error during BeginEvent",
                                   result);
    return 0;
}

int ClientProxy::EndEvent()
{
    const int result = endEvent();
    if (result == 8)
        throw VeskWarningException("The BeginEvent() function has not been called or failed.", 8);
    if (result != 0)
        throw VeskRuntimeException("The Vesk runtime has experienced an error during EndEvent",
                                   result);
    return 0;
}

int ClientProxy::SendCrashReport(const wchar_t* moduleName, const wchar_t* errorText,
                                 const wchar_t* category, int32_t lineNumber,
                                 const wchar_t* errorData, CrashCustomField* customFields,
                                 int32_t customFieldCount)
{
    try {
        if (!session().isOpen())
            return 1;
        const std::string applicationId = session().applicationIdBuffer();
        const int written = writeCrashReport(applicationId, moduleName, lineNumber, errorText,
                                             category, errorData, customFields, customFieldCount);
        if (written != 0)
            return written;
        ModuleList::writeBeside(lastCrashReportPath());
        return session().exchange("crash_report_set",
                                  EventPayload::crashReport(applicationId, lastCrashReportPath()));
    } catch (...) {
        return -1;
    }
}

void ClientProxy::finishBy(std::chrono::steady_clock::time_point deadline)
{
    session().finishBy(deadline);
}

}}}  // namespace com::corvane::vesk
