#ifndef QUILLET_TESTS_CHILDPROCESS_H
#define QUILLET_TESTS_CHILDPROCESS_H

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// Child processes for tests and benchmarks: no core dumps, output and error in
// one file, SIGKILL at a time limit, this process's environment inherited.

struct ChildResult {
    bool timedOut = false;
    int exitCode = -1;      // -1 unless it exited
    int signal = 0;         // the signal that ended it
    long long endedAt = 0;  // monotonicNanoseconds() when its end was seen
    double seconds = 0;     // from start to end (runChild)
    long peakKiB = 0;       // its peak resident memory (see MemoryOf)
    std::string output;     // standard output and error (runChild)
    bool ok() const { return !timedOut && exitCode == 0; }
    // "fault <monotonic ns> <realtime ns>" in the output (tests/faults/faultchild):
    // one of the two times, 0 when there is no such line.
    long long faultAt(bool realtime = false) const;
    double faultToExitSeconds() const { return faultAt() ? double(endedAt - faultAt()) / 1e9 : -1; }
};

// What peakKiB measures: the child's own peak, or the peak of the resident memory
// of the child and all its descendants, sampled every few milliseconds.
enum class MemoryOf { Child, Tree };

// A "<name>: <n> kB" field of /proc/self/status ("VmRSS:", "VmHWM:"); -1 when unknown.
long memoryKiB(const char* field);

long long monotonicNanoseconds();

// Starts argv[0] with argv in folder ("" the current one), with extra
// "NAME=value" environment entries; output to outputPath.
pid_t startChild(const std::vector<std::string>& argv, const std::string& outputPath,
                 const std::string& folder = "", const std::vector<std::string>& environment = {});
// Waits for a started child, SIGKILL after timeoutMs.
ChildResult waitChild(pid_t pid, int timeoutMs, MemoryOf memory = MemoryOf::Child);
// Starts, waits and reads the output.
ChildResult runChild(const std::vector<std::string>& argv, int timeoutMs,
                     const std::string& folder = "",
                     const std::vector<std::string>& environment = {},
                     MemoryOf memory = MemoryOf::Child);
// Waits until a running child has used no processor time for quietMs (it
// waits in its event loop), at most timeoutMs; true when it went quiet.
bool waitUntilIdle(pid_t pid, int quietMs, int timeoutMs);
// Runs body in a forked child, which starts with this process's state and
// then exits 0; true when the child exited 0 within a minute.
bool ranInChild(const std::function<void()>& body);

#endif
