#ifndef QUILLET_TESTS_DISPATCHERPROCESS_H
#define QUILLET_TESTS_DISPATCHERPROCESS_H

#include <chrono>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

// Child processes for the store link and fault tests. Children inherit this
// process's environment, so a test isolates HOME, XDG_* and QUILLET_REGISTRY
// in itself first.

struct ChildResult {
    bool timedOut = false;
    int exitCode = -1;       // -1 unless it exited
    int signal = 0;          // the signal that ended it
    long long endedAt = 0;   // CLOCK_MONOTONIC ns when its end was seen
    long long faultAt = 0;   // "fault <monotonic ns> <realtime ns>" in its output
    long long faultAtRealtime = 0;
    std::string output;      // standard output and error
    double faultToExitSeconds() const { return faultAt ? double(endedAt - faultAt) / 1e9 : -1; }
};

// CLOCK_MONOTONIC, as the fault child prints it.
inline long long monotonicNanoseconds()
{
    return std::chrono::nanoseconds(std::chrono::steady_clock::now().time_since_epoch()).count();
}
// Starts argv without core dumps, output to outputPath.
pid_t startChild(const std::vector<std::string>& argv, const std::string& outputPath);
// Waits for a started child, SIGKILL after timeoutMs.
ChildResult waitChild(pid_t pid, int timeoutMs);
ChildResult runChild(const std::vector<std::string>& argv, int timeoutMs);

// Registry file text naming the dispatcher's port and the reply TimeOut in
// seconds (<= 0 leaves a value out); the Vesk_SDK key comes last.
std::string linkRegistry(int port, int timeOut = 3);

// Holds the dispatcher's fixed fallback ports (bound, not listening): a link
// that finds no service is refused there, whatever else runs on the machine.
// held() is false when another program has one of them.
class FixedPortHold {
public:
    FixedPortHold();
    ~FixedPortHold();
    bool held() const { return m_held; }

private:
    std::vector<int> m_sockets;
    bool m_held = true;
};

// The local dispatcher service on a free 127.0.0.1 port, its message log
// read back.
class DispatcherProcess {
public:
    using Entry = std::map<std::string, std::string>;

    DispatcherProcess(const std::vector<std::string>& options, const std::string& logPath);
    ~DispatcherProcess() { terminate(); }

    int port() const { return m_port; }
    pid_t pid() const { return m_pid; }
    // Logged requests of this operation (all for ""), and of this message
    // type (any for ""), oldest first, field -> text.
    std::vector<Entry> entries(const std::string& operation = "", const std::string& type = "") const;
    std::vector<Entry> messages(const std::string& type) const { return entries("SendMessage", type); }
    // SIGTERM; its exit code (-1: it did not exit by itself).
    int terminate();

private:
    pid_t m_pid = -1;
    int m_port = -1;
    std::string m_logPath;
};

#endif
