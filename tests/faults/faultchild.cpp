// faultchild <fault> [--unarmed] [--frame-pointers]: creates the store runtime context (exit
// code 3 when it cannot; --unarmed: none), prints "fault <monotonic ns> <realtime ns>" and
// faults as named in s_faults, walking the stack by frame pointers only if asked.
// second-context prints a second context's refusal, and ends with 0 if the first lives.

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
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace com::corvane::vesk;

namespace {

volatile int s_zero = 0;
volatile int s_one = 1;  // a constant dividend lets the compiler avoid the division
volatile int s_depthLimit = 1 << 30;
int* volatile s_null = nullptr;
Application* s_context = nullptr;

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

__attribute__((noinline)) int compareThroughNull(const void* a, const void* b)
{
    *s_null = *static_cast<const int*>(a) - *static_cast<const int*>(b);
    return 0;
}

__attribute__((noinline)) void sortWithFaultyComparator()
{
    int values[] = {3, 1, 2};
    qsort(values, 3, sizeof values[0], compareThroughNull);
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

__attribute__((noinline)) void faultOnWorker()
{
    std::thread(writeThroughNull).join();
}

// The store link's receiver thread, found by its name.
pid_t receiverThread()
{
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::ifstream(task.path() / "comm") >> name;
        if (name == "store-link")
            return std::stoi(task.path().filename().string());
    }
    return 0;
}

// Exhausts the receiver thread's stack while it waits for a message: every
// page below the one it waits on becomes inaccessible. A begin event then
// wakes it, and its next calls overflow the stack.
void overflowReceiverStack()
{
    const pid_t tid = receiverThread();
    unsigned long words[9] = {};
    std::ifstream syscall("/proc/self/task/" + std::to_string(tid) + "/syscall");
    long number = -1;
    syscall >> number >> std::hex;
    for (unsigned long& word : words)
        syscall >> word;
    const uintptr_t sp = words[6];
    uintptr_t low = 0, high = 0;
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        uintptr_t from = 0, to = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx", &from, &to) == 2 && from <= sp && sp < to)
            low = from, high = to;
    }
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    if (!tid || number < 0 || !low
        || mprotect(reinterpret_cast<void*>(low), (sp & ~(page - 1)) - low, PROT_NONE) != 0) {
        std::fprintf(stderr, "receiver stack not found (thread %d, sp %lx, [%lx, %lx))\n", int(tid),
                     sp, low, high);
        std::exit(5);
    }
    try {
        s_context->beginEvent();
    } catch (...) {
    }
    for (;;)
        pause();  // the fault handler ends the process
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
            for (ready.fetch_add(1); ready.load() < count;) { }
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
    {"fault-in-report",
     [] { s_zero = s_one / s_zero; }},  // and again while the report is collected
    {"illegal-instruction", [] { __builtin_trap(); }},
    {"stack-overflow", [] { recurse(0); }},
    {"qsort-callback", sortWithFaultyComparator},
    {"event-loop-slot", faultInEventLoop},
    {"worker-thread", faultOnWorker},
    {"receiver-overflow", overflowReceiverStack},
    {"two-threads", [] { onThreads(2, writeThroughNull); }},
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
    if (!s_faults.count(kind) && kind != "second-context") {
        std::fputs("usage: faultchild <fault> [--unarmed] [--frame-pointers]\n", stderr);
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
    s_context = context.get();
    makeFault(s_faults.at(kind));
    return 0;
}
