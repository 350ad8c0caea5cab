#include "faultharness.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

extern char** environ;

namespace {

std::vector<char*> cStrings(const std::vector<std::string>& strings)
{
    std::vector<char*> out;
    for (const std::string& s : strings)
        out.push_back(const_cast<char*>(s.c_str()));
    out.push_back(nullptr);
    return out;
}

}  // namespace

long long monotonicNanoseconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// --- FaultHome --------------------------------------------------------------

FaultHome::FaultHome()
{
    std::string pattern = (fs::temp_directory_path() / "quillet-faults-XXXXXX").string();
    m_root = mkdtemp(pattern.data()) ? pattern : std::string();
    fs::create_directories(m_root + "/home/.config");
    fs::create_directories(m_root + "/home/.local/share");
}

FaultHome::~FaultHome()
{
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

std::string FaultHome::reportFolder() const
{
    return dataFolder() + "/Corvane/CorvaneSkyfoldSDK/CrashReports";
}

std::string FaultHome::logFile(const std::string& applicationName) const
{
    return dataFolder() + "/Corvane/CorvaneSkyfoldSDK/Log/" + applicationName + ".log";
}

void FaultHome::setDispatcherPort(int port) const
{
    std::ofstream out(registryPath(), std::ios::trunc);
    out << "Windows Registry Editor Version 5.00\n\n";
    if (port == 0)
        return;
    char value[16];
    std::snprintf(value, sizeof value, "%08x", unsigned(port));
    out << "[HKEY_LOCAL_MACHINE\\Software\\Corvane\\Wharfline]\n"
        << "\"DispatcherServicePort\"=dword:" << value << "\n";
}

std::vector<std::string> FaultHome::environment() const
{
    const std::string overridden[] = {"HOME=", "XDG_CONFIG_HOME=", "XDG_DATA_HOME=",
                                      "QUILLET_REGISTRY=", "XDG_RUNTIME_DIR="};
    std::vector<std::string> out;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool keep = true;
        for (const std::string& prefix : overridden)
            keep = keep && entry.compare(0, prefix.size(), prefix) != 0;
        if (keep)
            out.push_back(entry);
    }
    out.push_back("HOME=" + m_root + "/home");
    out.push_back("XDG_CONFIG_HOME=" + m_root + "/home/.config");
    out.push_back("XDG_DATA_HOME=" + dataFolder());
    out.push_back("QUILLET_REGISTRY=" + registryPath());
    return out;
}

void FaultHome::useInThisProcess() const
{
    setenv("HOME", (m_root + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (m_root + "/home/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", dataFolder().c_str(), 1);
    setenv("QUILLET_REGISTRY", registryPath().c_str(), 1);
}

std::vector<std::string> FaultHome::reportFiles() const
{
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(reportFolder(), error))
        files.push_back(entry.path().string());
    return files;
}

// --- LocalDispatcher ------------------------------------------------------

LocalDispatcher::LocalDispatcher(const std::string& logFolder, const std::vector<std::string>& options)
    : m_logPath(logFolder + "/dispatcher.jsonl")
{
    int errPipe[2];
    if (pipe(errPipe) != 0)
        return;
    std::vector<std::string> argv = {QUILLET_DISPATCHER, "--port", "0", "--log", m_logPath};
    argv.insert(argv.end(), options.begin(), options.end());
    m_pid = fork();
    if (m_pid == 0) {
        dup2(errPipe[1], STDERR_FILENO);
        close(errPipe[0]);
        close(errPipe[1]);
        std::vector<char*> args = cStrings(argv);
        execv(args[0], args.data());
        _exit(127);
    }
    close(errPipe[1]);
    // "quillet-dispatcher: listening on http://127.0.0.1:<port>/DispatcherProxy"
    std::string text;
    char buffer[256];
    const long long deadline = monotonicNanoseconds() + 5000000000LL;
    while (text.find('\n') == std::string::npos && monotonicNanoseconds() < deadline) {
        const ssize_t n = read(errPipe[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, size_t(n));
    }
    close(errPipe[0]);
    const auto at = text.find("127.0.0.1:");
    if (at != std::string::npos)
        m_port = std::atoi(text.c_str() + at + 10);
}

LocalDispatcher::~LocalDispatcher()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    waitChild(m_pid, 3000);
}

std::vector<std::string> LocalDispatcher::messages() const
{
    std::vector<std::string> lines;
    std::istringstream in(readFile(m_logPath));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> LocalDispatcher::messagesOfType(const std::string& type) const
{
    std::vector<std::string> out;
    for (const std::string& line : messages()) {
        if (line.find("\"type\":\"" + type + "\"") != std::string::npos)
            out.push_back(line);
    }
    return out;
}

// --- Children -------------------------------------------------------------

double ChildResult::faultToExitSeconds() const
{
    return faultAt ? double(endedAt - faultAt) / 1e9 : -1;
}

pid_t startChild(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                 const std::string& outputPath)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    std::vector<char*> args = cStrings(argv);
    std::vector<char*> env = cStrings(environment);
    execve(args[0], args.data(), env.data());
    _exit(127);
}

ChildResult waitChild(pid_t pid, int timeoutMs)
{
    ChildResult result;
    const long long start = monotonicNanoseconds();
    const long long deadline = start + (long long)timeoutMs * 1000000;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return result;
        if (monotonicNanoseconds() > deadline && !result.timedOut) {
            result.timedOut = true;
            kill(pid, SIGKILL);
        }
        usleep(1000);
    }
    result.endedAt = monotonicNanoseconds();
    result.seconds = double(result.endedAt - start) / 1e9;
    result.exited = WIFEXITED(status);
    result.exitCode = result.exited ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

ChildResult runChild(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                     int timeoutMs)
{
    char outputPath[] = "/tmp/quillet-child-XXXXXX";
    const int fd = mkstemp(outputPath);
    close(fd);
    const long long start = monotonicNanoseconds();
    ChildResult result = waitChild(startChild(argv, environment, outputPath), timeoutMs);
    result.seconds = double(result.endedAt - start) / 1e9;
    result.output = readFile(outputPath);
    unlink(outputPath);
    const auto at = result.output.find("fault ");
    if (at != std::string::npos)
        std::sscanf(result.output.c_str() + at, "fault %lld %lld", &result.faultAt,
                    &result.faultAtRealtime);
    return result;
}
