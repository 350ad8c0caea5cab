#ifndef QUILLET_DIAGNOSTICS_CALLSTACKMEMORY_H
#define QUILLET_DIAGNOSTICS_CALLSTACKMEMORY_H

#include <cstdint>

namespace com { namespace corvane { namespace vesk {

// The memory the frame-pointer walk reads: one thread's stack, [low, high).
// readWord() refuses every word not wholly inside the bounds or not aligned,
// so a broken frame chain ends the walk instead of faulting again. Tests
// subclass it to walk stacks laid out at made-up addresses.
class CallStackMemory {
public:
    CallStackMemory(uintptr_t low, uintptr_t high);
    virtual ~CallStackMemory() = default;

    virtual bool readWord(uintptr_t address, uintptr_t* word) const;

    uintptr_t low() const { return m_low; }
    uintptr_t high() const { return m_high; }

protected:
    bool contains(uintptr_t address) const;

private:
    uintptr_t m_low;
    uintptr_t m_high;
};

}}}  // namespace com::corvane::vesk

#endif
