// A program that makes real faults on request, for the fault tests and the
// crash benchmark. It arms the store runtime context (which needs the local
// dispatcher service, found through $QUILLET_REGISTRY), prints
// "fault <monotonic ns> <realtime ns>" on standard output, then faults:
//
//   faultchild <null-write|int-divide|illegal-instruction|stack-overflow|
//               thread|thread-stack-overflow|two-threads|double-free|
//               broken-chain|destroyed|fault-in-report|none>
//              [--time-limit MS] [--unarmed]
//
// broken-chain (x86-64) faults with the frame pointer set to an address that
// is not mapped: the walk must end there instead of faulting again.
// fault-in-report divides by zero with a crash report that itself writes
// through a null pointer while it is collected.
// --unarmed faults without a runtime context (no handler at all).
// Exit code 3: the runtime context could not be created.
//
// Built without optimisation, so every function keeps its frame (optimised
// leaf functions and tail calls leave none) and the walk has entries to keep
// after the two innermost are dropped.

#include "diagnostics/defaultcrashreport.h"
#include "diagnostics/veskexception.h"
#include "platform/faulthandler.h"
#include "shell/application.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

using com::corvane::vesk::Application;

namespace {

volatile int g_zero = 0;
volatile int g_one = 1;
volatile int g_sink = 0;
volatile int g_depthLimit = 1 << 30;
int* volatile g_null = nullptr;

void announceFault()
{
    timespec mono, real;
    clock_gettime(CLOCK_MONOTONIC, &mono);
    clock_gettime(CLOCK_REALTIME, &real);
    char line[96];
    const int n = std::snprintf(line, sizeof line, "fault %lld %lld\n",
                                (long long)mono.tv_sec * 1000000000LL + mono.tv_nsec,
                                (long long)real.tv_sec * 1000000000LL + real.tv_nsec);
    if (write(STDOUT_FILENO, line, size_t(n)) != n)
        _exit(4);
}

#if defined(__x86_64__)
extern "C" void quilletFaultWithBrokenChain();
asm(".text\n"
    "quilletFaultWithBrokenChain:\n"
    "    movq $0x10, %rbp\n"
    "    movl $1, 0\n"
    "    ret\n");
#endif

__attribute__((noinline)) void writeThroughNull()
{
    *g_null = 1;
}

__attribute__((noinline)) int divideByZero()
{
    return g_one / g_zero;
}

__attribute__((noinline)) void executeIllegalInstruction()
{
    __builtin_trap();
}

__attribute__((noinline)) int recurse(int depth)
{
    volatile char frame[512];
    frame[0] = char(depth);
    if (depth >= g_depthLimit)
        return frame[0];
    return recurse(depth + 1) + frame[0];
}

__attribute__((noinline)) void freeTwice()
{
    // Too large for the per-thread caches: the second free() is checked with
    // the arena locked, and abort() is called while it is held.
    void* volatile block = std::malloc(4000);
    std::free(block);
    std::free(block);
}

class FaultyReport : public com::corvane::vesk::DefaultCrashReport {
public:
    void collectCategory() override { writeThroughNull(); }
};

void faultOnThread()
{
    std::thread worker([] { writeThroughNull(); });
    worker.join();
}

// Threads the program does not prepare have no alternate signal stack.
void overflowOnThread()
{
    std::thread worker([] { recurse(0); });
    worker.join();
}

void faultOnTwoThreadsAtOnce()
{
    std::atomic<int> ready{0};
    auto body = [&ready] {
        ready.fetch_add(1);
        while (ready.load() < 2) {
        }
        writeThroughNull();
    };
    std::thread first(body);
    std::thread second(body);
    first.join();
    second.join();
}

__attribute__((noinline)) int makeFault(const std::string& kind)
{
    announceFault();
    if (kind == "null-write")
        writeThroughNull();
    else if (kind == "int-divide" || kind == "fault-in-report")
        return divideByZero();
    else if (kind == "illegal-instruction")
        executeIllegalInstruction();
    else if (kind == "stack-overflow")
        return recurse(0);
    else if (kind == "thread")
        faultOnThread();
#if defined(__x86_64__)
    else if (kind == "broken-chain")
        quilletFaultWithBrokenChain();
#endif
    else if (kind == "thread-stack-overflow")
        overflowOnThread();
    else if (kind == "two-threads")
        faultOnTwoThreadsAtOnce();
    else if (kind == "double-free")
        freeTwice();
    else if (kind == "destroyed")
        writeThroughNull();
    return 0;
}

__attribute__((noinline)) int runFault(const std::string& kind)
{
    const int result = makeFault(kind);
    g_sink = result;
    return result;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fputs("usage: faultchild <fault> [--time-limit MS] [--unarmed]\n", stderr);
        return 2;
    }
    const std::string kind = argv[1];
    bool armed = true;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--time-limit") == 0 && i + 1 < argc)
            platform::FaultHandler::setTimeLimit(std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--unarmed") == 0)
            armed = false;
    }
    if (!armed)
        return runFault(kind);

    std::unique_ptr<Application> context;
    try {
        context = std::make_unique<Application>();
    } catch (const com::corvane::vesk::InitializationException& e) {
        std::fprintf(stderr, "faultchild: %s\n", e.what());
        return 3;
    }
    if (kind == "destroyed")
        context.reset();
    if (kind == "fault-in-report")
        context->setCrashReport(new FaultyReport);
    return runFault(kind);
}
