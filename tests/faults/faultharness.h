#ifndef QUILLET_TESTS_FAULTS_FAULTHARNESS_H
#define QUILLET_TESTS_FAULTS_FAULTHARNESS_H

#include <string>
#include <sys/types.h>
#include <vector>

// Test helpers for real faults: a private home for child processes, the local
// dispatcher service on a free loopback port, and child runs that tell how
// the child ended.

// A fresh folder with HOME, XDG_CONFIG_HOME, XDG_DATA_HOME and a registry
// file; removed at the end.
class FaultHome {
public:
    FaultHome();
    ~FaultHome();
    FaultHome(const FaultHome&) = delete;
    FaultHome& operator=(const FaultHome&) = delete;

    const std::string& root() const { return m_root; }
    std::string dataFolder() const { return m_root + "/home/.local/share"; }
    std::string registryPath() const { return m_root + "/registry.reg"; }
    std::string reportFolder() const;
    std::string logFile(const std::string& applicationName) const;

    // The registry file naming the dispatcher's port (0: no value at all).
    void setDispatcherPort(int port) const;
    // The calling process's environment with this home's folders.
    std::vector<std::string> environment() const;
    // Points the calling process itself at this home.
    void useInThisProcess() const;

    std::vector<std::string> reportFiles() const;

private:
    std::string m_root;
};

// quillet-dispatcher listening on a free 127.0.0.1 port, logging to a file.
class LocalDispatcher {
public:
    explicit LocalDispatcher(const std::string& logFolder,
                             const std::vector<std::string>& options = {});
    ~LocalDispatcher();  // SIGTERM, then waits

    int port() const { return m_port; }
    // The JSON lines received so far.
    std::vector<std::string> messages() const;
    // Those of SendMessage with this "type".
    std::vector<std::string> messagesOfType(const std::string& type) const;

private:
    pid_t m_pid = -1;
    int m_port = 0;
    std::string m_logPath;
};

struct ChildResult {
    bool timedOut = false;
    bool exited = false;
    int exitCode = -1;
    int signal = 0;           // the signal that killed it
    double seconds = 0;       // start to end
    long long faultAt = 0;    // "fault <monotonic ns> <realtime ns>" printed by the child
    long long faultAtRealtime = 0;
    long long endedAt = 0;    // CLOCK_MONOTONIC when its end was seen
    std::string output;       // standard output and error

    double faultToExitSeconds() const;
};

// Runs argv[0] with the environment, without core dumps, at most timeoutMs.
// The child is killed (SIGKILL) when it overruns.
ChildResult runChild(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                     int timeoutMs);

// Starts a child without waiting: its pid. Output goes to outputPath.
pid_t startChild(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                 const std::string& outputPath);
// Waits for a started child, killing it after timeoutMs.
ChildResult waitChild(pid_t pid, int timeoutMs);

long long monotonicNanoseconds();
std::string readFile(const std::string& path);

#endif
