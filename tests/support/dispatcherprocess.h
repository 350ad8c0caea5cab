#ifndef QUILLET_TESTS_DISPATCHERPROCESS_H
#define QUILLET_TESTS_DISPATCHERPROCESS_H

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

// Registry file text naming the dispatcher's port and the reply TimeOut in
// seconds (<= 0 leaves a value out); the Vesk_SDK key comes last.
std::string linkRegistry(int port, int timeOut = 3);

// The local dispatcher service on a free 127.0.0.1 port, its message log read back.
class DispatcherProcess {
public:
    using Entry = std::map<std::string, std::string>;

    DispatcherProcess(const std::vector<std::string>& options, const std::string& logPath);
    ~DispatcherProcess();

    int port() const { return m_port; }
    pid_t pid() const { return m_pid; }
    // Logged requests of this operation and message type ("": any), oldest first.
    std::vector<Entry> entries(const std::string& operation = "",
                               const std::string& type = "") const;
    std::vector<Entry> messages(const std::string& type) const
    {
        return entries("SendMessage", type);
    }

private:
    pid_t m_pid = -1;
    int m_port = -1;
    std::string m_logPath;
};

#endif
