#include "faulthandler.h"

#include "diagnostics/abstractcrashreport.h"
#include "diagnostics/crashreportsink.h"
#include "platform/faulthandler.h"

namespace com { namespace corvane { namespace vesk {

std::atomic<AbstractCrashReport*> activeCrashReport{nullptr};
std::atomic<CrashReportSink*> activeStoreLink{nullptr};

namespace {

std::atomic<EndEventFunction> s_endEvent{nullptr};

void onFault(const platform::FaultInformation* fault)
{
    faultFilter(fault);
}

}  // namespace

void setEndEventFunction(EndEventFunction endEvent)
{
    s_endEvent.store(endEvent);
}

int faultFilter(const platform::FaultInformation* fault)
{
    AbstractCrashReport* report = activeCrashReport.exchange(nullptr);
    CrashReportSink* storeLink = activeStoreLink.exchange(nullptr);
    if (report && storeLink) {
        try {
            report->reportCrash(storeLink, fault);
        } catch (...) {
            // Best effort: a report that could not be sent leaves no other trace.
        }
        const EndEventFunction endEvent = s_endEvent.load();
        try {
            if (endEvent)
                endEvent(storeLink);
        } catch (...) {
            // Without a begin event the end event always raises a warning.
        }
    }
    platform::FaultHandler::markReported();
    delete report;
    delete storeLink;
    return 1;
}

bool installFaultFilter()
{
    return platform::FaultHandler::install(onFault);
}

}}}  // namespace com::corvane::vesk
