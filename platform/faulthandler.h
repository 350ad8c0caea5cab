#ifndef QUILLET_PLATFORM_FAULTHANDLER_H
#define QUILLET_PLATFORM_FAULTHANDLER_H

#include "platform/faultinformation.h"

namespace platform {

// Called once, for the first fault of the process, on the reporting thread.
using FaultCallback = void (*)(const FaultInformation* fault);

// The process's handler of unhandled faults: SIGSEGV, SIGBUS, SIGFPE, SIGILL,
// SIGTRAP and SIGABRT, taken with SA_SIGINFO | SA_ONSTACK.
//
// The signal handler itself only does async-signal-safe work: it maps the
// signal to an exception code, finds the faulting thread's stack, captures
// its own processor context (the start of the call stack walk), wakes a
// reporting thread started at install() through a pipe and waits for it with
// poll(), at most timeLimit() milliseconds (the watchdog). The callback runs
// on that thread, so it may allocate, lock and talk to sockets; the reporting
// thread allocated at start-up and so has its own malloc arena. Then the
// handler restores the default disposition and raises the signal again: the
// process ends killed by it, as a POSIX parent expects.
//
// Only the first fault is reported. A fault on another thread meanwhile waits
// until the first one's deadline, then ends the process by its own signal; a
// fault inside the callback ends the process at once.
class FaultHandler {
public:
    // Installs the handler (once) and sets the callback. Gives the calling
    // thread an alternate signal stack. Returns false when the signal
    // handlers could not be installed.
    static bool install(FaultCallback callback);
    static bool isInstalled();

    // Bound of the whole handling of a fault, in milliseconds (default 5000).
    static void setTimeLimit(int milliseconds);
    static int timeLimit();

    // Called by the callback once the report is out: what remains (releasing
    // objects) gets only kReleaseGraceMs more. Freeing memory can block for
    // good when the fault struck inside the allocator with its lock held.
    static void markReported();
    static constexpr int kReleaseGraceMs = 500;

    // The thread (its kernel thread ID) whose fault is being reported, 0
    // before any fault. That thread waits in the handler and never returns.
    static int faultingThread();

    // Gives the calling thread an alternate signal stack (kept until the
    // process ends), so that a stack overflow on it can be reported too.
    // Signal stacks are per thread: an overflow on a thread without one kills
    // the process by SIGSEGV with no report.
    static bool prepareThread();
};

}  // namespace platform

#endif
