#include "faultfilter.h"

#include "diagnostics/abstractcrashreport.h"
#include "diagnostics/storelink.h"
#include "platform/faulthandler.h"

#include <chrono>

namespace com { namespace corvane { namespace vesk {

std::atomic<AbstractCrashReport*> activeCrashReport{nullptr};
std::atomic<StoreLink*> activeStoreLink{nullptr};

namespace {

void onFault(const platform::FaultInformation* fault)
{
    faultFilter(fault);
}

}  // namespace

int faultFilter(const platform::FaultInformation* fault)
{
    AbstractCrashReport* report = activeCrashReport.exchange(nullptr);
    StoreLink* storeLink = activeStoreLink.exchange(nullptr);
    if (storeLink) {
        // The rest of the watchdog's time is for releasing the objects.
        const auto limit = std::chrono::milliseconds(platform::FaultHandler::timeLimit());
        storeLink->finishBy(std::chrono::steady_clock::now() + limit * 4 / 5);
    }
    if (report && storeLink) {
        try {
            report->reportCrash(storeLink, fault);
        } catch (...) {
            // Best effort: a report that could not be sent leaves no other trace.
        }
        try {
            storeLink->EndEvent();
        } catch (...) {
            // Without a begin event the end event always raises a warning.
        }
    }
    delete storeLink;  // UnsubscribeTopic and EndSession, by the deadline
    platform::FaultHandler::markReported();
    delete report;
    return 1;
}

bool installFaultFilter()
{
    return platform::FaultHandler::install(onFault);
}

}}}  // namespace com::corvane::vesk
