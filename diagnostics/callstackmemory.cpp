#include "callstackmemory.h"

namespace com { namespace corvane { namespace vesk {

CallStackMemory::CallStackMemory(uintptr_t low, uintptr_t high)
    : m_low(low)
    , m_high(high)
{
}

bool CallStackMemory::contains(uintptr_t address) const
{
    return address % sizeof(uintptr_t) == 0 && address >= m_low && address < m_high
           && m_high - address >= sizeof(uintptr_t);
}

bool CallStackMemory::readWord(uintptr_t address, uintptr_t* word) const
{
    if (!contains(address))
        return false;
    *word = *reinterpret_cast<const volatile uintptr_t*>(address);
    return true;
}

}}}  // namespace com::corvane::vesk
