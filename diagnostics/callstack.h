#ifndef QUILLET_DIAGNOSTICS_CALLSTACK_H
#define QUILLET_DIAGNOSTICS_CALLSTACK_H

#include "diagnostics/stackframe.h"

#include <cstddef>
#include <string>
#include <vector>

namespace platform {
struct FaultInformation;
}

namespace com { namespace corvane { namespace vesk {

class CallStackMemory;

// The call stack of one fault, innermost entry first. Entries are only
// appended; one object per fault. Not for signal context (it allocates): the
// fault handler's reporting thread walks the stack of the faulting thread,
// which waits in the handler meanwhile.
//
// The walk unwinds with the call-frame information of each module
// (libunwind), so functions without a frame pointer (the C library, Qt, leaf
// functions) are walked too. When that fails it falls back to the
// frame-pointer chain, which ends at the first function without one.
class CallStack {
public:
    static constexpr std::size_t kMaxEntries = 100;

    enum class Walk { Unwind, FramePointers };
    // How capture(fault) walks, for the whole process (default Unwind).
    static void setWalk(Walk walk);

    CallStack() = default;
    virtual ~CallStack() = default;

    // Walks the chain from framePointer: each frame holds the caller's frame
    // pointer and the return address. Stops at a null frame pointer, after a
    // return address of 0 (whose entry is kept), at kMaxEntries entries, and
    // where the chain breaks: a word outside memory, or a next frame that is
    // not above the current one. Returns the entries.
    virtual const std::vector<StackFrame>& capture(uintptr_t framePointer,
                                                   const CallStackMemory& memory);
    // The stack of a fault, from inside its handler: the first two entries
    // are the handler's own frame and the signal return trampoline, the third
    // the faulting instruction's function, then its callers. Unwinds from the
    // handler's context; falls back to the two handler entries, the faulting
    // instruction and the frame-pointer chain of the fault's context, reading
    // only its thread's stack.
    const std::vector<StackFrame>& capture(const platform::FaultInformation& fault);

    const std::vector<StackFrame>& entries() const { return m_entries; }
    bool empty() const { return m_entries.empty(); }
    // Removes up to count innermost entries (the fault machinery's own frames).
    void removeInnermost(std::size_t count);

    // "<CallStack>\n", one StackFrame element per entry, "</CallStack>\n".
    // Addresses have pointer width. The text holds at most maxChars
    // characters: entries that do not fit are left out, and the text is still
    // closed by "</CallStack>\n".
    std::wstring text(std::size_t maxChars) const;

private:
    bool unwind(const void* handlerContext);
    void append(uintptr_t address);

    std::vector<StackFrame> m_entries;
};

}}}  // namespace com::corvane::vesk

#endif
