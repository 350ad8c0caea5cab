#ifndef QUILLET_PLATFORM_FAULTINFORMATION_H
#define QUILLET_PLATFORM_FAULTINFORMATION_H

#include <cstdint>

namespace platform {

// What the fault handler knows of a fault: the Windows exception code it maps
// to, the signal behind it and the faulting thread's processor context.
struct FaultInformation {
    uint32_t exceptionCode = 0;  // e.g. 0xC0000005 for an access violation
    int signalNumber = 0;        // SIGSEGV, SIGFPE, ...
    int signalCode = 0;          // si_code
    const void* faultAddress = nullptr;
    const void* context = nullptr;  // the faulting thread's ucontext_t
    // The handler's own context (an unw_context_t captured in the handler):
    // a walk from it passes the handler's frame and the signal return
    // trampoline, then reaches the faulting function. Valid while the
    // faulting thread waits in the handler.
    const void* handlerContext = nullptr;
    // The same two frames for the frame-pointer walk, which cannot cross the
    // trampoline: an address in the handler and the trampoline's.
    uintptr_t handlerFrames[2] = {0, 0};
    // Bounds of the faulting thread's stack; the frame-pointer walk reads only
    // words inside them. Zero when unknown (the walk then reads nothing).
    uintptr_t stackLow = 0;
    uintptr_t stackHigh = 0;
};

}  // namespace platform

#endif
