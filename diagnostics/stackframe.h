#ifndef QUILLET_DIAGNOSTICS_STACKFRAME_H
#define QUILLET_DIAGNOSTICS_STACKFRAME_H

#include <cstdint>
#include <string>

namespace com { namespace corvane { namespace vesk {

// One entry of a captured call stack.
struct StackFrame {
    std::wstring moduleName = L"N/A";
    std::wstring symbolName = L"N/A";
    int32_t lineNumber = 0;
    uintptr_t address = 0;  // a code address; 0 until set
};

}}}  // namespace com::corvane::vesk

#endif
