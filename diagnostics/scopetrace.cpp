#include "scopetrace.h"

#include "logmessage.h"

namespace com { namespace corvane { namespace vesk {

ScopeTrace::ScopeTrace(const wchar_t* functionName, const wchar_t* fileName, int32_t line)
    : m_functionName(functionName ? functionName : L"")
    , m_fileName(fileName)
    , m_line(line)
{
    LogMessage(m_line, m_fileName) << m_functionName << L" ENTER";
}

ScopeTrace::~ScopeTrace()
{
    LogMessage(m_line, m_fileName) << m_functionName << L" EXIT";
}

}}}  // namespace com::corvane::vesk
