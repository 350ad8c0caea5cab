#include "defaultcrashreport.h"

#include "diagnostics/callstack.h"
#include "platform/faultinformation.h"

#include <cwchar>
#include <string>

namespace com { namespace corvane { namespace vesk {

namespace {

struct FaultName {
    uint32_t code;
    const wchar_t* name;
};

const FaultName kFaultNames[] = {
    {0xC0000005, L"ACCESS VIOLATION"},
    {0x80000002, L"DATATYPE MISALIGNMENT"},
    {0xC000008E, L"FLT DIVIDE BY ZERO"},
    {0xC000008C, L"ARRAY BOUNDS EXCEEDED"},
    {0xC000008D, L"FLT DENORMAL OPERAND"},
    {0xC000008F, L"FLT INEXACT RESULT"},
    {0xC0000090, L"FLT INVALID OPERATION"},
    {0xC0000091, L"FLT OVERFLOW"},
    {0xC0000092, L"FLT STACK CHECK"},
    {0xC0000093, L"FLT UNDERFLOW"},
    {0xC0000094, L"INT DIVIDE BY ZERO"},
    {0xC0000095, L"INT OVERFLOW"},
    {0xC0000096, L"PRIV INSTRUCTION"},
    {0xC0000006, L"IN PAGE ERROR"},
    {0xC000001D, L"ILLEGAL INSTRUCTION"},
    {0xC0000025, L"NONCONTINUABLE EXCEPTION"},
    {0xC00000FD, L"STACK OVERFLOW"},
    {0xC0000026, L"INVALID DISPOSITION"},
    {0x80000001, L"GUARD PAGE"},
    {0xC0000008, L"INVALID HANDLE"},
    {0xC000013A, L"C EXIT"},
};

// Copies text into a fixed field, cut to fit, always terminated.
template <std::size_t N>
void setField(wchar_t (&field)[N], const std::wstring& text)
{
    const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    wmemcpy(field, text.data(), n);
    field[n] = L'\0';
}

}  // namespace

DefaultCrashReport::DefaultCrashReport()
    : m_callStack(new CallStack)
{
    setField(m_errorText, L"An application fault occurred!");
    setField(m_moduleName, L"Unknown");
    setField(m_errorData, L"Unknown");
    setField(m_category, L"Unknown Exception");
    m_lineNumber = 0;
}

DefaultCrashReport::~DefaultCrashReport()
{
    delete m_callStack;
}

const wchar_t* DefaultCrashReport::faultName(uint32_t exceptionCode)
{
    for (const FaultName& entry : kFaultNames) {
        if (entry.code == exceptionCode)
            return entry.name;
    }
    return L"UNKNOWN EXCEPTION";
}

uint32_t DefaultCrashReport::exceptionCode() const
{
    return m_fault ? m_fault->exceptionCode : 0;
}

void DefaultCrashReport::collectCategory()
{
    setField(m_category, faultName(exceptionCode()));
}

void DefaultCrashReport::collectErrorText()
{
    setField(m_errorText, std::wstring(L"An unrecoverable exception occurred: ") + m_category
                              + L", Code: " + std::to_wstring(exceptionCode()));
}

void DefaultCrashReport::collectModuleName()
{
    if (!m_callStack->empty())
        setField(m_moduleName, m_callStack->entries().front().moduleName);
}

void DefaultCrashReport::collectErrorData()
{
    setField(m_errorData, m_callStack->text(sizeof m_errorData / sizeof m_errorData[0] - 1));
}

void DefaultCrashReport::collectCustomFields()
{
    m_customFields = nullptr;
    m_customFieldCount = 0;
}

void DefaultCrashReport::collectLineNumber()
{
    if (!m_callStack->empty())
        m_lineNumber = m_callStack->entries().front().lineNumber;
}

int DefaultCrashReport::reportCrash(StoreLink* storeLink, const platform::FaultInformation* fault)
{
    if (fault)
        m_callStack->capture(*fault);
    m_callStack->removeInnermost(2);
    return AbstractCrashReport::reportCrash(storeLink, fault);
}

}}}  // namespace com::corvane::vesk
