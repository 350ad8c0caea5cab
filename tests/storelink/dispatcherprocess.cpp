#include "dispatcherprocess.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The text of a JSON string from pos, just after its opening quote.
std::string jsonString(const std::string& line, size_t& pos)
{
    std::string text;
    while (pos < line.size() && line[pos] != '"') {
        char c = line[pos++];
        if (c == '\\') {
            c = line[pos++];
            if (c == 'u') {
                c = char(std::strtol(line.substr(pos, 4).c_str(), nullptr, 16));
                pos += 4;
            } else {
                c = c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
            }
        }
        text += c;
    }
    ++pos;
    return text;
}

// One flat JSON object of the service's log: strings and numbers.
DispatcherProcess::Entry parseLine(const std::string& line)
{
    DispatcherProcess::Entry entry;
    size_t pos = line.find('{') + 1;
    while (pos < line.size() && line[pos] == '"') {
        const std::string key = jsonString(line, ++pos);
        if (line[++pos] == '"') {
            entry[key] = jsonString(line, ++pos);
        } else {
            const size_t end = line.find_first_of(",}", pos);
            entry[key] = line.substr(pos, end - pos);
            pos = end;
        }
        pos += line[pos] == ',';
    }
    return entry;
}

}  // namespace

long long monotonicNanoseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

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
    for (pid_t done; (done = waitpid(pid, &status, WNOHANG)) != pid; usleep(1000)) {
        if (done < 0 && errno != EINTR)
            return result;
        if (!result.timedOut && monotonicNanoseconds() > deadline) {
            result.timedOut = true;
            kill(pid, SIGKILL);
        }
    }
    result.endedAt = monotonicNanoseconds();
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

ChildResult runChild(const std::vector<std::string>& argv, int timeoutMs)
{
    char outputPath[] = "/tmp/quillet-child-XXXXXX";
    close(mkstemp(outputPath));
    ChildResult result = waitChild(startChild(argv, outputPath), timeoutMs);
    result.output = readText(outputPath);
    unlink(outputPath);
    const auto at = result.output.find("fault ");
    if (at != std::string::npos)
        std::sscanf(result.output.c_str() + at, "fault %lld %lld", &result.faultAt,
                    &result.faultAtRealtime);
    return result;
}

std::string linkRegistry(int port, int timeOut)
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "Windows Registry Editor Version 5.00\n\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Corvane\\Wharfline]\n%s%08x\n\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vesk_SDK]\n%s%08x\n",
                  port > 0 ? "\"DispatcherServicePort\"=dword:" : ";", unsigned(port),
                  timeOut > 0 ? "\"TimeOut\"=dword:" : ";", unsigned(timeOut));
    return text;
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
            m_port = std::atoi(text.c_str() + at + 10);
    }
}

int DispatcherProcess::terminate()
{
    if (m_pid <= 0)
        return -1;
    kill(m_pid, SIGTERM);
    const int exitCode = waitChild(m_pid, 5000).exitCode;
    m_pid = -1;
    return exitCode;
}

std::vector<DispatcherProcess::Entry> DispatcherProcess::entries(const std::string& operation) const
{
    std::vector<Entry> result;
    std::ifstream in(m_logPath);
    for (std::string line; std::getline(in, line);) {
        Entry entry = parseLine(line);
        if (operation.empty() || entry["operation"] == operation)
            result.push_back(entry);
    }
    return result;
}

std::vector<DispatcherProcess::Entry> DispatcherProcess::messages(const std::string& type) const
{
    std::vector<Entry> result;
    for (Entry& entry : entries("SendMessage")) {
        if (entry["type"] == type)
            result.push_back(entry);
    }
    return result;
}
