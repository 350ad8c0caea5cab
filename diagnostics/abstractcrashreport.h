#ifndef QUILLET_DIAGNOSTICS_ABSTRACTCRASHREPORT_H
#define QUILLET_DIAGNOSTICS_ABSTRACTCRASHREPORT_H

#include <cstdint>

namespace platform {
struct FaultInformation;
}

namespace com { namespace corvane { namespace vesk {

class StoreLink;

struct CrashCustomField {
    const wchar_t* name;
    const wchar_t* value;
};

// Fields of a crash report, collected in a fixed order by reportCrash() and
// handed to the store link, which writes the report and announces it.
class AbstractCrashReport {
public:
    AbstractCrashReport();
    virtual ~AbstractCrashReport();  // frees the custom fields (one, or an array)

    virtual void collectCategory() = 0;
    virtual void collectErrorText() = 0;
    virtual void collectModuleName() = 0;
    virtual void collectErrorData() = 0;
    virtual void collectCustomFields() = 0;
    virtual void collectLineNumber() = 0;
    // Stores the fault, collects the fields (module name, category, error
    // text, error data, custom fields, line number) and returns the result of
    // storeLink->SendCrashReport (the store link's ClientProxy).
    virtual int reportCrash(StoreLink* storeLink, const platform::FaultInformation* fault);

protected:
    wchar_t m_moduleName[80];
    wchar_t m_errorText[80];
    wchar_t m_category[80];
    wchar_t m_errorData[4000];
    int32_t m_lineNumber = 0;
    CrashCustomField* m_customFields = nullptr;
    int32_t m_customFieldCount = 0;
    const platform::FaultInformation* m_fault = nullptr;
};

}}}  // namespace com::corvane::vesk

#endif
