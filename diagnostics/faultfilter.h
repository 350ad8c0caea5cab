#ifndef QUILLET_DIAGNOSTICS_FAULTFILTER_H
#define QUILLET_DIAGNOSTICS_FAULTFILTER_H

#include <atomic>

namespace platform {
struct FaultInformation;
}

namespace com { namespace corvane { namespace vesk {

class AbstractCrashReport;
class StoreLink;

// Process-wide slots that the runtime context fills and faultFilter reads.
// Both own their object; whoever takes an object out of a slot (exchange)
// releases it, so each is used and released once.
extern std::atomic<AbstractCrashReport*> activeCrashReport;
extern std::atomic<StoreLink*> activeStoreLink;

// The unhandled-fault filter. It runs on the fault handler's reporting
// thread, not in signal context, so it may allocate, lock and use sockets.
// With a report and a store link: reports the fault (report file and
// crash-report event), then ends the usage event; whatever the end event
// raises is contained. The link's exchanges and its closing (UnsubscribeTopic,
// EndSession) are over within four fifths of the fault handler's time limit.
// Then releases the link and the report. Returns 1 (EXCEPTION_EXECUTE_HANDLER);
// the caller ends the process.
int faultFilter(const platform::FaultInformation* fault);

// Installs faultFilter as the process's fault handler (platform::FaultHandler).
bool installFaultFilter();

}}}  // namespace com::corvane::vesk

#endif
