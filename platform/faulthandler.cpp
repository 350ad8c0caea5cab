#include "faulthandler.h"

#include "platform/faultcodes.h"
#include "platform/stackbounds.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#define UNW_LOCAL_ONLY
#include <libunwind.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT};
// Room for the handler's own frames; the report is built on the worker.
constexpr size_t kAltStackSize = 256 * 1024;

std::mutex s_installMutex;
bool s_installed = false;
std::atomic<FaultCallback> s_callback{nullptr};
std::atomic<int> s_timeLimitMs{5000};
std::atomic<pid_t> s_reportingThread{0};
std::atomic<pid_t> s_workerThread{0};
std::atomic<int64_t> s_deadline{0};
std::atomic<int> s_signal{0};
std::atomic<const FaultInformation*> s_fault{nullptr};
int s_wakePipe[2] = {-1, -1};
int s_donePipe[2] = {-1, -1};

// --- Async-signal-safe helpers -------------------------------------------

pid_t currentThreadId()
{
    return static_cast<pid_t>(syscall(SYS_gettid));
}

int64_t monotonicNow()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t deadlineFromNow()
{
    return monotonicNow() + int64_t(s_timeLimitMs.load()) * 1000000;
}

void sleepUntil(int64_t deadline)
{
    for (int64_t left = deadline - monotonicNow(); left > 0; left = deadline - monotonicNow()) {
        timespec ts{time_t(left / 1000000000), long(left % 1000000000)};
        nanosleep(&ts, nullptr);
    }
}

constexpr char kReportedByte = 'r';
constexpr char kDoneByte = 'd';

// Waits for the reporting thread until the deadline: kDoneByte ends the wait,
// kReportedByte shortens what is left of it to the release grace.
void awaitReport(int fd, int64_t deadline)
{
    for (;;) {
        const int64_t now = monotonicNow();
        if (deadline - now <= 0)
            return;
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, int((deadline - now) / 1000000) + 1);
        if (r < 0 && errno == EINTR)
            continue;
        char byte = 0;
        if (r <= 0 || read(fd, &byte, 1) != 1 || byte == kDoneByte)
            return;
        const int64_t grace = monotonicNow() + int64_t(FaultHandler::kReleaseGraceMs) * 1000000;
        if (grace < deadline)
            deadline = grace;
    }
}

void tellHandler(char byte)
{
    while (write(s_donePipe[1], &byte, 1) < 0 && errno == EINTR) { }
}

[[noreturn]] void endBySignal(int signalNumber)
{
    struct sigaction byDefault { };
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    sigaction(signalNumber, &byDefault, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(signalNumber);
    _exit(128 + signalNumber);  // not reached: every fault signal ends the process
}

// Watchdog of the inline path (no reporting thread): ends the process by the
// fault's signal when the callback overruns its time.
void onWatchdogAlarm(int)
{
    endBySignal(s_signal.load());
}

void armAlarmWatchdog()
{
    struct sigaction alarmAction { };
    alarmAction.sa_handler = onWatchdogAlarm;
    sigemptyset(&alarmAction.sa_mask);
    sigaction(SIGALRM, &alarmAction, nullptr);
    alarm(unsigned((s_timeLimitMs.load() + 999) / 1000));
}

void describeFault(int signalNumber, const siginfo_t* info, void* context, FaultInformation* fault)
{
    const uintptr_t sp = stackPointerOf(context);
    const bool fromKernel = info && info->si_code > 0;
    const uintptr_t address = fromKernel ? reinterpret_cast<uintptr_t>(info->si_addr) : 0;
    const bool guard = signalNumber == SIGSEGV && fromKernel && isStackGuardFault(address, sp);
    fault->signalNumber = signalNumber;
    fault->signalCode = info ? info->si_code : 0;
    fault->exceptionCode = exceptionCodeForSignal(signalNumber, fault->signalCode, guard);
    fault->faultAddress = reinterpret_cast<const void*>(address);
    fault->context = context;
    if (!stackBoundsOf(sp, &fault->stackLow, &fault->stackHigh))
        fault->stackLow = fault->stackHigh = 0;
}

__attribute__((noinline)) void onFault(int signalNumber, siginfo_t* info, void* context)
{
    const pid_t self = currentThreadId();
    pid_t first = 0;
    if (!s_reportingThread.compare_exchange_strong(first, self)) {
        // A fault is being reported already. A fault of the reporting itself
        // ends the process now; another thread waits for the report first.
        if (self != s_workerThread.load() && self != first) {
            const int64_t deadline = s_deadline.load();
            sleepUntil(deadline ? deadline : deadlineFromNow());
        }
        endBySignal(signalNumber);
    }
    const int64_t deadline = deadlineFromNow();
    s_deadline.store(deadline);
    s_signal.store(signalNumber);

    FaultInformation fault;
    describeFault(signalNumber, info, context, &fault);
    // Captured here, in the handler's own frame, so that the stack walked
    // from it starts with exactly two frames of the fault machinery: this
    // function and the trampoline the kernel returns through.
    unw_context_t handlerContext;
    if (unw_getcontext(&handlerContext) == 0)
        fault.handlerContext = &handlerContext;
    fault.handlerFrames[0] = reinterpret_cast<uintptr_t>(&onFault);
    fault.handlerFrames[1] = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    const FaultCallback callback = s_callback.load();
    if (callback && s_workerThread.load() != 0) {
        s_fault.store(&fault);
        const char wake = 1;
        if (write(s_wakePipe[1], &wake, 1) == 1)
            awaitReport(s_donePipe[0], deadline);
    } else if (callback) {
        armAlarmWatchdog();
        callback(&fault);
    }
    endBySignal(signalNumber);
}

// --- The reporting thread -------------------------------------------------

void* reportingThreadMain(void*)
{
    FaultHandler::prepareThread();
    // No signal is delivered here: a "kill -SEGV" of the process goes to a
    // thread that can wait for this one, and a fault of this thread itself
    // (the signal blocked) makes the kernel end the process by it at once.
    sigset_t set;
    sigfillset(&set);
    pthread_sigmask(SIG_SETMASK, &set, nullptr);
    // The first allocation binds the thread to a malloc arena of its own, so
    // a fault that leaves another arena locked does not stop the report.
    void* volatile warm = malloc(256);
    free(warm);
    s_workerThread.store(currentThreadId());
    for (;;) {
        char byte;
        const ssize_t n = read(s_wakePipe[0], &byte, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return nullptr;
        const FaultCallback callback = s_callback.load();
        const FaultInformation* fault = s_fault.load();
        if (callback && fault)
            callback(fault);
        tellHandler(kDoneByte);
    }
}

bool startReportingThread()
{
    if (pipe2(s_wakePipe, O_CLOEXEC) != 0)
        return false;
    if (pipe2(s_donePipe, O_CLOEXEC) != 0)
        return false;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const bool started = pthread_create(&thread, &attributes, reportingThreadMain, nullptr) == 0;
    pthread_attr_destroy(&attributes);
    if (!started)
        return false;
    while (s_workerThread.load() == 0)  // ready in well under a millisecond
        sched_yield();
    return true;
}

// A child of fork() has no reporting thread and is not the program that
// armed the handler: its faults simply end it.
void forgetInChild()
{
    s_callback.store(nullptr);
    s_workerThread.store(0);
}

}  // namespace

bool FaultHandler::install(FaultCallback callback)
{
    std::lock_guard<std::mutex> lock(s_installMutex);
    s_callback.store(callback);
    if (s_installed)
        return true;
    prepareThread();
    startReportingThread();  // without it faults are reported inline
    pthread_atfork(nullptr, nullptr, forgetInChild);

    struct sigaction action { };
    action.sa_sigaction = onFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    // A second fault inside the handler is then fatal at once (the kernel
    // kills a thread that faults with the signal blocked).
    for (int signalNumber : kFaultSignals)
        sigaddset(&action.sa_mask, signalNumber);
    for (int signalNumber : kFaultSignals) {
        if (sigaction(signalNumber, &action, nullptr) != 0)
            return false;
    }
    s_installed = true;
    return true;
}

bool FaultHandler::isInstalled()
{
    std::lock_guard<std::mutex> lock(s_installMutex);
    return s_installed;
}

void FaultHandler::setTimeLimit(int milliseconds)
{
    s_timeLimitMs.store(milliseconds > 0 ? milliseconds : 1);
}

int FaultHandler::timeLimit()
{
    return s_timeLimitMs.load();
}

void FaultHandler::markReported()
{
    if (s_workerThread.load() == currentThreadId())
        tellHandler(kReportedByte);
}

int FaultHandler::faultingThread()
{
    return s_reportingThread.load();
}

bool FaultHandler::prepareThread()
{
    stack_t current;
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE))
        return true;
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    void* memory = mmap(nullptr, kAltStackSize + page, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED)
        return false;
    mprotect(memory, page, PROT_NONE);  // guard below the signal stack
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(memory) + page;
    stack.ss_size = kAltStackSize;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(memory, kAltStackSize + page);
        return false;
    }
    return true;
}

}  // namespace platform
