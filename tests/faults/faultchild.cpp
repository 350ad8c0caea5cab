// faultchild <fault> [--unarmed] [--frame-pointers]: creates the store runtime context (exit
// code 3 when it cannot; --unarmed: none), prints "fault <monotonic ns> <realtime ns>" and
// faults as named in s_faults, walking the stack by frame pointers only if asked.

#include "diagnostics/callstack.h"
#include "diagnostics/defaultcrashreport.h"
#include "diagnostics/veskexception.h"
#include "shell/application.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <thread>

using namespace com::corvane::vesk;

namespace {

volatile int s_zero = 0;
volatile int s_one = 1;  // a constant dividend lets the compiler avoid the division
volatile int s_depthLimit = 1 << 30;
int* volatile s_null = nullptr;

#if defined(__x86_64__)
// Faults with the frame pointer at an unmapped address.
extern "C" void quilletFaultWithBrokenChain();
asm(".text\n"
    "quilletFaultWithBrokenChain:\n"
    "    movq $0x10, %rbp\n"
    "    movl $1, 0\n"
    "    ret\n");
#endif

// "fault <monotonic ns> <realtime ns>", just before the fault.
void stampFault()
{
    timespec mono, real;
    clock_gettime(CLOCK_MONOTONIC, &mono);
    clock_gettime(CLOCK_REALTIME, &real);
    std::printf("fault %lld %lld\n", mono.tv_sec * 1000000000LL + mono.tv_nsec,
                real.tv_sec * 1000000000LL + real.tv_nsec);
    std::fflush(stdout);
}

__attribute__((noinline)) void writeThroughNull()
{
    *s_null = 1;
}

// Frames of 512 KiB: the 8 MiB stack overflows some sixteen calls deep, so
// the whole stack down to main fits the report.
__attribute__((noinline)) int recurse(int depth)
{
    volatile char frame[512 * 1024];
    frame[0] = char(depth);
    return depth >= s_depthLimit ? frame[0] : recurse(depth + 1) + frame[0];
}

class TimerTarget : public QObject {
public:
    __attribute__((noinline)) void faultInSlot()
    {
        stampFault();
        *s_null = 2;
    }
};

// The fault in a slot that the event loop calls.
__attribute__((noinline)) void faultInEventLoop()
{
    int argc = 1;
    char name[] = "faultchild";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    TimerTarget target;
    QTimer::singleShot(0, &target, &TimerTarget::faultInSlot);
    app.exec();
}

// Too large for the per-thread caches: the second free() is checked with the
// arena locked, and abort() is called while it is held.
__attribute__((noinline)) void freeTwice()
{
    void* volatile block = std::malloc(4000);
    std::free(block);
    std::free(block);
}

// Both threads write through null at once.
void faultOnTwoThreads()
{
    std::atomic<int> ready{0};
    const auto body = [&] {
        for (ready.fetch_add(1); ready.load() < 2;) { }
        writeThroughNull();
    };
    std::thread first(body), second(body);
    first.join();
    second.join();
}

class FaultyReport : public DefaultCrashReport {
public:
    void collectCategory() override { writeThroughNull(); }
};

const std::map<std::string, void (*)()> s_faults = {
    {"null-write", writeThroughNull},
    {"destroyed", writeThroughNull},  // after the context is destroyed
    {"int-divide", [] { s_zero = s_one / s_zero; }},
    {"fault-in-report",
     [] { s_zero = s_one / s_zero; }},  // and again while the report is collected
    {"illegal-instruction", [] { __builtin_trap(); }},
    {"stack-overflow", [] { recurse(0); }},
    {"event-loop-slot", faultInEventLoop},
    {"two-threads", faultOnTwoThreads},
    {"double-free", freeTwice},
#if defined(__x86_64__)
    {"broken-chain", quilletFaultWithBrokenChain},
#endif
};

__attribute__((noinline)) void makeFault(void (*fault)())
{
    if (fault != faultInEventLoop)  // that one stamps in its slot
        stampFault();
    fault();
}

}  // namespace

int main(int argc, char* argv[])
{
    const std::string kind = argc > 1 ? argv[1] : "";
    bool armed = true;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frame-pointers") == 0)
            CallStack::setWalk(CallStack::Walk::FramePointers);
        armed = armed && std::strcmp(argv[i], "--unarmed") != 0;
    }
    if (!s_faults.count(kind)) {
        std::fputs("usage: faultchild <fault> [--unarmed] [--frame-pointers]\n", stderr);
        return 2;
    }
    std::unique_ptr<Application> context;
    try {
        if (armed)
            context = std::make_unique<Application>();
    } catch (const InitializationException& e) {
        std::printf("refused with code %d: %s\n", e.code(), e.message().c_str());
        return 3;
    }
    if (kind == "destroyed")
        context.reset();
    if (kind == "fault-in-report")
        context->setCrashReport(new FaultyReport);
    makeFault(s_faults.at(kind));
    return 0;
}
