#ifndef QUILLET_DIAGNOSTICS_SCOPETRACE_H
#define QUILLET_DIAGNOSTICS_SCOPETRACE_H

#include <cstdint>

namespace com { namespace corvane { namespace vesk {

// Logs "<function> ENTER" at DEBUG when constructed and "<function> EXIT"
// when destroyed. Place it at the top of a function body:
//   ScopeTrace trace(L"ClientProxy::BeginEvent", L"clientproxy.cpp", __LINE__);
class ScopeTrace {
public:
    ScopeTrace(const wchar_t* functionName, const wchar_t* fileName, int32_t line);
    ~ScopeTrace();
    ScopeTrace(const ScopeTrace&) = delete;
    ScopeTrace& operator=(const ScopeTrace&) = delete;

private:
    const wchar_t* m_functionName;
    const wchar_t* m_fileName;
    int32_t m_line;
};

}}}  // namespace com::corvane::vesk

#endif
