#include "abstractcrashreport.h"

#include "storelink.h"

namespace com { namespace corvane { namespace vesk {

AbstractCrashReport::AbstractCrashReport()
{
    m_moduleName[0] = L'\0';
    m_errorText[0] = L'\0';
    m_category[0] = L'\0';
    m_errorData[0] = L'\0';
}

AbstractCrashReport::~AbstractCrashReport()
{
    // A count of one means a single object, any other an array.
    if (m_customFieldCount == 1)
        delete m_customFields;
    else
        delete[] m_customFields;
}

int AbstractCrashReport::reportCrash(StoreLink* storeLink, const platform::FaultInformation* fault)
{
    m_fault = fault;
    // The error text may quote the category, so the category comes first.
    collectModuleName();
    collectCategory();
    collectErrorText();
    collectErrorData();
    collectCustomFields();
    collectLineNumber();
    if (!storeLink)
        return -1;
    return storeLink->SendCrashReport(m_moduleName, m_errorText, m_category, m_lineNumber,
                                      m_errorData, m_customFields, m_customFieldCount);
}

}}}  // namespace com::corvane::vesk
