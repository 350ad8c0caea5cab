#ifndef QUILLET_PLATFORM_STACKBOUNDS_H
#define QUILLET_PLATFORM_STACKBOUNDS_H

#include <cstdint>

namespace platform {

// Registers of a processor context (a ucontext_t) that the frame-pointer walk
// needs. Zero when the context is null. Async-signal-safe.
uintptr_t framePointerOf(const void* context);
uintptr_t stackPointerOf(const void* context);
uintptr_t programCounterOf(const void* context);

// Bounds [low, high) of the readable mapping that holds the stack a thread is
// running on, found from its stack pointer. When the pointer already lies in
// the guard below an exhausted stack, the mapping just above it is taken.
// Reads /proc/self/maps with open/read only: async-signal-safe, no allocation.
bool stackBoundsOf(uintptr_t stackPointer, uintptr_t* low, uintptr_t* high);

}  // namespace platform

#endif
