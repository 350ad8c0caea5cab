#ifndef QUILLET_PLATFORM_FAULTCODES_H
#define QUILLET_PLATFORM_FAULTCODES_H

#include <cstdint>

namespace platform {

// Windows exception codes that faults are reported under.
enum FaultCode : uint32_t {
    FaultAccessViolation = 0xC0000005,
    FaultDatatypeMisalignment = 0x80000002,
    FaultBreakpoint = 0x80000003,
    FaultSingleStep = 0x80000004,
    FaultArrayBoundsExceeded = 0xC000008C,
    FaultFltDenormalOperand = 0xC000008D,
    FaultFltDivideByZero = 0xC000008E,
    FaultFltInexactResult = 0xC000008F,
    FaultFltInvalidOperation = 0xC0000090,
    FaultFltOverflow = 0xC0000091,
    FaultFltUnderflow = 0xC0000093,
    FaultIntDivideByZero = 0xC0000094,
    FaultIntOverflow = 0xC0000095,
    FaultPrivInstruction = 0xC0000096,
    FaultInPageError = 0xC0000006,
    FaultIllegalInstruction = 0xC000001D,
    FaultStackOverflow = 0xC00000FD,
    FaultFatalAppExit = 0x40000015,  // what abort() ends with on Windows
};

// The exception code closest to a signal and its si_code. atStackGuard tells
// that a SIGSEGV hit the guard below the faulting thread's stack. A signal
// without a counterpart gets the customer code 0xE0000000 + signal number,
// which no fault name matches. Async-signal-safe.
uint32_t exceptionCodeForSignal(int signalNumber, int signalCode, bool atStackGuard);

// Whether a SIGSEGV at faultAddress, taken with the stack pointer at
// stackPointer, is a stack overflow: the address lies just below (or at) the
// stack pointer, where only the guard of an exhausted stack can fault.
// Async-signal-safe.
bool isStackGuardFault(uintptr_t faultAddress, uintptr_t stackPointer);

}  // namespace platform

#endif
