#ifndef QUILLET_DIAGNOSTICS_STORELINK_H
#define QUILLET_DIAGNOSTICS_STORELINK_H

#include <chrono>
#include <cstdint>

namespace com { namespace corvane { namespace vesk {

struct CrashCustomField;

// The store link as the runtime context and the fault filter use it: the
// application's usage events and the crash report. Destroying it closes the
// link. The store link's ClientProxy implements it; diagnostics stays free of
// the link itself.
class StoreLink {
public:
    virtual ~StoreLink() = default;

    virtual int BeginEvent() = 0;  // 0, or raises as the link does
    virtual int EndEvent() = 0;
    // Writes the crash report and announces it. Never raises.
    virtual int SendCrashReport(const wchar_t* moduleName, const wchar_t* errorText,
                                const wchar_t* category, int32_t lineNumber,
                                const wchar_t* errorData, CrashCustomField* customFields,
                                int32_t customFieldCount)
        = 0;
    // From now on every exchange with the service, and closing the link, is
    // over by deadline: at a fault the watchdog's time is all there is.
    virtual void finishBy(std::chrono::steady_clock::time_point deadline) = 0;
};

}}}  // namespace com::corvane::vesk

#endif
