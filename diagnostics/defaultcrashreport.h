#ifndef QUILLET_DIAGNOSTICS_DEFAULTCRASHREPORT_H
#define QUILLET_DIAGNOSTICS_DEFAULTCRASHREPORT_H

#include "diagnostics/abstractcrashreport.h"

#include <cstdint>

namespace com { namespace corvane { namespace vesk {

class CallStack;

// The crash report used at an unhandled fault: the fault's name and code, and
// the call stack of the faulting thread.
class DefaultCrashReport : public AbstractCrashReport {
public:
    DefaultCrashReport();
    ~DefaultCrashReport() override;
    DefaultCrashReport(const DefaultCrashReport&) = delete;
    DefaultCrashReport& operator=(const DefaultCrashReport&) = delete;

    void collectCategory() override;
    void collectErrorText() override;
    void collectModuleName() override;
    void collectErrorData() override;
    void collectCustomFields() override;
    void collectLineNumber() override;
    // Captures the call stack of the fault from inside the handler, drops its
    // two innermost entries (the handler's frame and the signal trampoline),
    // so the faulting function comes first, then collects and sends the report.
    int reportCrash(StoreLink* storeLink, const platform::FaultInformation* fault) override;

    // The name written for an exception code ("ACCESS VIOLATION", ...).
    static const wchar_t* faultName(uint32_t exceptionCode);

    const CallStack& callStack() const { return *m_callStack; }

private:
    uint32_t exceptionCode() const;

    CallStack* m_callStack;
};

}}}  // namespace com::corvane::vesk

#endif
