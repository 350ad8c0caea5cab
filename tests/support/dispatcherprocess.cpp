#include "dispatcherprocess.h"

#include "storelink/linksettings.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One line of the service's log, a flat JSON object of strings and numbers:
// keys and values in turn.
DispatcherProcess::Entry parseLine(const std::string& line)
{
    std::vector<std::string> items;
    for (size_t i = line.find('{') + 1; i < line.size(); ++i) {
        if (line[i] == '"') {
            for (items.emplace_back(); ++i < line.size() && line[i] != '"';)
                items.back() += line[i] != '\\' ? line[i]
                                : line[++i] == 'n' ? '\n' : line[i] == 't' ? '\t' : line[i];
        } else if (!std::strchr(",:}", line[i])) {
            const size_t end = line.find_first_of(",}", i);
            items.push_back(line.substr(i, end - i));
            i = end - 1;
        }
    }
    DispatcherProcess::Entry entry;
    for (size_t k = 0; k + 1 < items.size(); k += 2)
        entry[items[k]] = items[k + 1];
    return entry;
}

}  // namespace

pid_t startChild(const std::vector<std::string>& argv, const std::string& outputPath)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

ChildResult waitChild(pid_t pid, int timeoutMs)
{
    ChildResult result;
    const long long deadline = monotonicNanoseconds() + timeoutMs * 1000000LL;
    int status = 0;
    pid_t done;
    for (; (done = waitpid(pid, &status, WNOHANG)) == 0; usleep(1000))
        if (!result.timedOut && monotonicNanoseconds() > deadline)
            result.timedOut = kill(pid, SIGKILL) == 0;
    result.endedAt = monotonicNanoseconds();
    result.exitCode = done == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = done == pid && WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

ChildResult runChild(const std::vector<std::string>& argv, int timeoutMs)
{
    const auto outputPath = std::filesystem::temp_directory_path()
                            / ("quillet-child-" + std::to_string(getpid()));
    ChildResult result = waitChild(startChild(argv, outputPath), timeoutMs);
    result.output = readText(outputPath);
    std::filesystem::remove(outputPath);
    const auto at = result.output.find("fault ");
    if (at != std::string::npos)
        std::sscanf(result.output.c_str() + at, "fault %lld %lld", &result.faultAt,
                    &result.faultAtRealtime);
    return result;
}

std::string linkRegistry(int port, int timeOut)
{
    const auto dword = [](const char* name, int value) {
        char text[64];
        std::snprintf(text, sizeof text, "\"%s\"=dword:%08x\n", name, unsigned(value));
        return value > 0 ? std::string(text) : std::string();
    };
    return "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Corvane\\Wharfline]\n"
           + dword("DispatcherServicePort", port) + "\n[HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vesk_SDK]\n"
           + dword("TimeOut", timeOut);
}

DispatcherProcess::DispatcherProcess(const std::vector<std::string>& options,
                                     const std::string& logPath)
    : m_logPath(logPath)
{
    std::vector<std::string> args = {QUILLET_DISPATCHER_PATH, "--port", "0", "--log", logPath};
    args.insert(args.end(), options.begin(), options.end());
    m_pid = startChild(args, logPath + ".out");
    // "quillet-dispatcher: listening on http://127.0.0.1:<port>/DispatcherProxy", within 5 s
    for (int waited = 0; m_port <= 0 && waited < 5000; waited += 10) {
        usleep(10000);
        const std::string text = readText(logPath + ".out");
        const auto at = text.find("127.0.0.1:");
        if (at != std::string::npos && text.find("/Disp", at) != std::string::npos)
            m_port = std::stoi(text.substr(at + 10));
    }
}

int DispatcherProcess::terminate()
{
    if (m_pid <= 0)
        return -1;
    kill(m_pid, SIGTERM);
    return waitChild(std::exchange(m_pid, -1), 5000).exitCode;
}

std::vector<DispatcherProcess::Entry> DispatcherProcess::entries(const std::string& operation,
                                                                 const std::string& type) const
{
    std::vector<Entry> result;
    std::ifstream in(m_logPath);
    for (std::string line; std::getline(in, line);) {
        Entry entry = parseLine(line);
        if ((operation.empty() || entry["operation"] == operation) && (type.empty() || entry["type"] == type))
            result.push_back(entry);
    }
    return result;
}

FixedPortHold::FixedPortHold()
{
    for (int port : com::corvane::vesk::LinkSettings::fallbackPorts()) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0), on = 1;
        // Reuse: a connection of an earlier test may linger in TIME_WAIT.
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{AF_INET, htons(uint16_t(port)), {htonl(INADDR_LOOPBACK)}, {}};
        m_held = m_held && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        m_sockets.push_back(fd);
    }
}

FixedPortHold::~FixedPortHold()
{
    for (int fd : m_sockets)
        close(fd);
}
