// Signals and their si_code become the Windows exception codes and fault names.

#include "diagnostics/defaultcrashreport.h"
#include "platform/faultcodes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

using com::corvane::vesk::DefaultCrashReport;

namespace {

std::wstring nameFor(int signalNumber, int signalCode, bool atGuard = false)
{
    return DefaultCrashReport::faultName(
        platform::exceptionCodeForSignal(signalNumber, signalCode, atGuard));
}

TEST(FaultCodes, signalsReadAsTheirWindowsFaults)
{
    EXPECT_EQ(platform::exceptionCodeForSignal(SIGSEGV, SEGV_MAPERR, false), 0xC0000005u);
    EXPECT_EQ(nameFor(SIGSEGV, SEGV_ACCERR), L"ACCESS VIOLATION");
    EXPECT_EQ(nameFor(SIGSEGV, SI_USER), L"ACCESS VIOLATION");
    EXPECT_EQ(nameFor(SIGSEGV, SEGV_MAPERR, true), L"STACK OVERFLOW");
    EXPECT_EQ(nameFor(SIGFPE, FPE_INTDIV), L"INT DIVIDE BY ZERO");
    EXPECT_EQ(nameFor(SIGFPE, FPE_INTOVF), L"INT OVERFLOW");
    EXPECT_EQ(nameFor(SIGFPE, FPE_FLTDIV), L"FLT DIVIDE BY ZERO");
    EXPECT_EQ(nameFor(SIGFPE, FPE_FLTINV), L"FLT INVALID OPERATION");
    EXPECT_EQ(nameFor(SIGFPE, FPE_FLTSUB), L"ARRAY BOUNDS EXCEEDED");
    EXPECT_EQ(nameFor(SIGILL, ILL_ILLOPN), L"ILLEGAL INSTRUCTION");
    EXPECT_EQ(nameFor(SIGILL, ILL_PRVOPC), L"PRIV INSTRUCTION");
    EXPECT_EQ(nameFor(SIGBUS, BUS_ADRALN), L"DATATYPE MISALIGNMENT");
    EXPECT_EQ(nameFor(SIGBUS, BUS_ADRERR), L"IN PAGE ERROR");
    // Breakpoints, abort() and faults without a counterpart have no name.
    EXPECT_EQ(nameFor(SIGTRAP, TRAP_BRKPT), L"UNKNOWN EXCEPTION");
    EXPECT_EQ(nameFor(SIGABRT, SI_TKILL), L"UNKNOWN EXCEPTION");
    EXPECT_EQ(nameFor(SIGFPE, SI_USER), L"UNKNOWN EXCEPTION");
    EXPECT_EQ(DefaultCrashReport::faultName(0xC000013A), L"C EXIT");
    EXPECT_EQ(DefaultCrashReport::faultName(0xC0000025), L"NONCONTINUABLE EXCEPTION");
}

TEST(FaultCodes, onlyFaultsJustBelowTheStackPointerAreStackOverflows)
{
    const uintptr_t sp = 0x7ffd00010000;
    EXPECT_TRUE(platform::isStackGuardFault(sp - 8, sp));
    EXPECT_TRUE(platform::isStackGuardFault(sp - 60 * 1024, sp));
    EXPECT_FALSE(platform::isStackGuardFault(0, sp));
    EXPECT_FALSE(platform::isStackGuardFault(0x10, sp));
    EXPECT_FALSE(platform::isStackGuardFault(sp - 1024 * 1024, sp));
    EXPECT_FALSE(platform::isStackGuardFault(sp + 64 * 1024, sp));
}

}  // namespace
