#include "faultcodes.h"

#include <csignal>

namespace platform {

namespace {

// How far below the stack pointer a stack overflow can fault: the largest
// frame the compiler allocates without probing it page by page.
constexpr uintptr_t kStackGuardReach = 64 * 1024;
constexpr uintptr_t kPageSize = 4096;

uint32_t unknownCode(int signalNumber)
{
    return 0xE0000000u + static_cast<uint32_t>(signalNumber);
}

uint32_t floatingPointCode(int signalCode)
{
    switch (signalCode) {
    case FPE_INTDIV: return FaultIntDivideByZero;
    case FPE_INTOVF: return FaultIntOverflow;
    case FPE_FLTDIV: return FaultFltDivideByZero;
    case FPE_FLTOVF: return FaultFltOverflow;
    case FPE_FLTUND: return FaultFltUnderflow;
    case FPE_FLTRES: return FaultFltInexactResult;
    case FPE_FLTINV: return FaultFltInvalidOperation;
    case FPE_FLTSUB: return FaultArrayBoundsExceeded;
    default: return unknownCode(SIGFPE);
    }
}

}  // namespace

uint32_t exceptionCodeForSignal(int signalNumber, int signalCode, bool atStackGuard)
{
    switch (signalNumber) {
    case SIGSEGV: return atStackGuard ? FaultStackOverflow : FaultAccessViolation;
    case SIGBUS: return signalCode == BUS_ADRALN ? FaultDatatypeMisalignment : FaultInPageError;
    case SIGFPE: return floatingPointCode(signalCode);
    case SIGILL:
        return (signalCode == ILL_PRVOPC || signalCode == ILL_PRVREG) ? FaultPrivInstruction
                                                                      : FaultIllegalInstruction;
    case SIGTRAP: return signalCode == TRAP_TRACE ? FaultSingleStep : FaultBreakpoint;
    case SIGABRT: return FaultFatalAppExit;
    default: return unknownCode(signalNumber);
    }
}

bool isStackGuardFault(uintptr_t faultAddress, uintptr_t stackPointer)
{
    if (faultAddress == 0 || stackPointer == 0)
        return false;
    return faultAddress < stackPointer + kPageSize
           && faultAddress + kStackGuardReach >= stackPointer;
}

}  // namespace platform
