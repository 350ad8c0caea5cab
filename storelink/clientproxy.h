#ifndef QUILLET_STORELINK_CLIENTPROXY_H
#define QUILLET_STORELINK_CLIENTPROXY_H

#include "diagnostics/storelink.h"

#include <cstdint>

namespace com { namespace corvane { namespace vesk {

// The application's end of the link to the store's local dispatcher service.
// Constructing it opens the link (InitializationException with the result
// code on failure); destroying it closes the link.
class ClientProxy : public StoreLink {
public:
    ClientProxy();
    ~ClientProxy() override;
    ClientProxy(const ClientProxy&) = delete;
    ClientProxy& operator=(const ClientProxy&) = delete;

    // Sets the identifier text that payloads carry as ApplicationUUID and that
    // seeds correlation identifiers (36 blanks until set; reset on close).
    static void setApplicationIdentifier(const uint32_t words[4]);

    int BeginEvent() override;  // 0, or raises VeskRuntimeException
    // 0, or raises VeskWarningException (8) / VeskRuntimeException
    int EndEvent() override;
    // Writes the crash report, the module list beside it, and sends the
    // crash-report event. Never raises.
    int SendCrashReport(const wchar_t* moduleName, const wchar_t* errorText,
                        const wchar_t* category, int32_t lineNumber, const wchar_t* errorData,
                        CrashCustomField* customFields, int32_t customFieldCount) override;
    void finishBy(std::chrono::steady_clock::time_point deadline) override;
};

}}}  // namespace com::corvane::vesk

#endif
