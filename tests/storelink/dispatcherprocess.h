#ifndef QUILLET_TESTS_DISPATCHERPROCESS_H
#define QUILLET_TESTS_DISPATCHERPROCESS_H

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

// The local dispatcher service run as a child process on a free loopback
// port, with its JSON message log read back.
class DispatcherProcess {
public:
    using Entry = std::map<std::string, std::string>;

    // Starts quillet-dispatcher with the extra options; logs to logPath.
    DispatcherProcess(const std::vector<std::string>& options, const std::string& logPath);
    ~DispatcherProcess();  // SIGTERM, then waits

    int port() const { return m_port; }
    // Every logged request, oldest first, as field -> text.
    std::vector<Entry> entries() const;
    std::vector<Entry> entries(const std::string& operation) const;
    // SIGTERM and the exit status (as from waitpid).
    int terminate();

private:
    pid_t m_pid = -1;
    int m_port = -1;
    std::string m_logPath;
};

#endif
