// faultchild <fault> [--time-limit MS] [--unarmed]: creates the store runtime
// context (exit code 3 when it cannot; --unarmed: none), prints "fault
// <monotonic ns> <realtime ns>" and faults as named in s_faults. second-context
// instead prints a second context's refusal, and ends with 0 if the first lives.

#include "diagnostics/defaultcrashreport.h"
#include "diagnostics/veskexception.h"
#include "platform/faulthandler.h"
#include "shell/application.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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

__attribute__((noinline)) void writeThroughNull()
{
    *s_null = 1;
}

__attribute__((noinline)) int recurse(int depth)
{
    volatile char frame[512];
    frame[0] = char(depth);
    return depth >= s_depthLimit ? frame[0] : recurse(depth + 1) + frame[0];
}

// Too large for the per-thread caches: the second free() is checked with the
// arena locked, and abort() is called while it is held.
__attribute__((noinline)) void freeTwice()
{
    void* volatile block = std::malloc(4000);
    std::free(block);
    std::free(block);
}

void onThreads(int count, void (*body)())
{
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i)
        threads.emplace_back([&] {
            for (ready.fetch_add(1); ready.load() < count;) {
            }
            body();
        });
    for (std::thread& t : threads)
        t.join();
}

class FaultyReport : public DefaultCrashReport {
public:
    void collectCategory() override { writeThroughNull(); }
};

const std::map<std::string, void (*)()> s_faults = {
    {"null-write", writeThroughNull},
    {"destroyed", writeThroughNull},  // after the context is destroyed
    {"int-divide", [] { s_zero = s_one / s_zero; }},
    {"fault-in-report", [] { s_zero = s_one / s_zero; }},  // and again while the report is collected
    {"illegal-instruction", [] { __builtin_trap(); }},
    {"stack-overflow", [] { recurse(0); }},
    {"two-threads", [] { onThreads(2, writeThroughNull); }},
    {"double-free", freeTwice},
#if defined(__x86_64__)
    {"broken-chain", quilletFaultWithBrokenChain},
#endif
};

__attribute__((noinline)) void makeFault(void (*fault)())
{
    timespec mono, real;
    clock_gettime(CLOCK_MONOTONIC, &mono);
    clock_gettime(CLOCK_REALTIME, &real);
    std::printf("fault %lld %lld\n", mono.tv_sec * 1000000000LL + mono.tv_nsec,
                real.tv_sec * 1000000000LL + real.tv_nsec);
    std::fflush(stdout);
    fault();
}

// One frame more between main and the fault, so the call stack keeps entries
// after the two innermost are dropped.
__attribute__((noinline)) void runFault(void (*fault)())
{
    makeFault(fault);
    s_zero = 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    const std::string kind = argc > 1 ? argv[1] : "";
    bool armed = true;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--time-limit") == 0 && i + 1 < argc)
            platform::FaultHandler::setTimeLimit(std::atoi(argv[++i]));
        armed = armed && std::strcmp(argv[i], "--unarmed") != 0;
    }
    if (!s_faults.count(kind) && kind != "second-context") {
        std::fputs("usage: faultchild <fault> [--time-limit MS] [--unarmed]\n", stderr);
        return 2;
    }
    std::unique_ptr<Application> context;
    try {
        if (armed)
            context = std::make_unique<Application>();
        if (kind == "second-context")
            Application second;
    } catch (const InitializationException& e) {
        std::printf("refused with code %d: %s\n", e.code(), e.message().c_str());
        return !context ? 3 : Application::isLive() ? 0 : 4;
    }
    if (kind == "destroyed")
        context.reset();
    if (kind == "fault-in-report")
        context->setCrashReport(new FaultyReport);
    runFault(s_faults.at(kind));
    return 0;
}
