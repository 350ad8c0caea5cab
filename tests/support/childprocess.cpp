#include "childprocess.h"

#include "isolatedenvironment.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string procFile(pid_t pid, const char* name)
{
    return "/proc/" + std::to_string(pid) + "/" + name;
}

// Processor time of a process in clock ticks, user and system, all threads;
// -1 when it is gone. After the name, in parentheses: utime and stime are the
// 14th and 15th fields.
long long processorTicks(pid_t pid)
{
    const std::string stat = readFile(procFile(pid, "stat"));
    const auto name = stat.rfind(')');
    const char* fields = "%*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %lld %lld";
    long long user = 0, system = 0;
    if (name == std::string::npos || std::sscanf(&stat[name + 1], fields, &user, &system) != 2)
        return -1;
    return user + system;
}

// Resident memory of a process and all its descendants, in KiB.
long treeResidentKiB(pid_t root)
{
    long pages = 0;
    for (std::vector<pid_t> pending{root}; !pending.empty();) {
        const pid_t pid = pending.back();
        pending.pop_back();
        long size = 0, resident = 0;
        std::ifstream(procFile(pid, "statm")) >> size >> resident;
        pages += resident;
        // Each thread lists the children it started.
        std::error_code none;
        for (const auto& task : std::filesystem::directory_iterator(procFile(pid, "task"), none)) {
            std::ifstream children(task.path() / "children");
            for (pid_t child; children >> child;)
                pending.push_back(child);
        }
    }
    return pages * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

long long ChildResult::faultAt(bool realtime) const
{
    long long times[2] = {0, 0};
    const auto at = output.find("fault ");
    if (at != std::string::npos)
        std::sscanf(output.c_str() + at, "fault %lld %lld", &times[0], &times[1]);
    return times[realtime];
}

long memoryKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, std::strlen(field), field) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    return -1;
}

long long monotonicNanoseconds()
{
    return std::chrono::nanoseconds(std::chrono::steady_clock::now().time_since_epoch()).count();
}

pid_t startChild(const std::vector<std::string>& argv, const std::string& outputPath,
                 const std::string& folder, const std::vector<std::string>& environment)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    if (!folder.empty() && chdir(folder.c_str()) != 0)
        _exit(126);
    for (const std::string& entry : environment)
        putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

ChildResult waitChild(pid_t pid, int timeoutMs, MemoryOf memory)
{
    const long long sampleEvery = 5000000;  // ns, for MemoryOf::Tree
    ChildResult result;
    const long long start = monotonicNanoseconds(), deadline = start + timeoutMs * 1000000LL;
    long long nextSample = start;
    long treePeak = 0;
    int status = 0;
    rusage usage{};
    pid_t done;
    for (; (done = wait4(pid, &status, WNOHANG, &usage)) == 0; usleep(1000)) {
        const long long now = monotonicNanoseconds();
        if (!result.timedOut && now > deadline)
            result.timedOut = kill(pid, SIGKILL) == 0;
        if (memory == MemoryOf::Tree && now >= nextSample) {
            treePeak = std::max(treePeak, treeResidentKiB(pid));
            nextSample = now + sampleEvery;
        }
    }
    result.endedAt = monotonicNanoseconds();
    result.seconds = double(result.endedAt - start) / 1e9;
    result.peakKiB = std::max(treePeak, usage.ru_maxrss);
    result.exitCode = done == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = done == pid && WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

ChildResult runChild(const std::vector<std::string>& argv, int timeoutMs, const std::string& folder,
                     const std::vector<std::string>& environment, MemoryOf memory)
{
    std::string outputPath = std::filesystem::temp_directory_path() / "quillet-child-XXXXXX";
    close(mkstemp(outputPath.data()));
    ChildResult result
        = waitChild(startChild(argv, outputPath, folder, environment), timeoutMs, memory);
    result.output = readFile(outputPath);
    std::filesystem::remove(outputPath);
    return result;
}

bool ranInChild(const std::function<void()>& body)
{
    const pid_t pid = fork();
    if (pid == 0) {
        body();
        _exit(0);
    }
    return pid > 0 && waitChild(pid, 60000).ok();
}

bool waitUntilIdle(pid_t pid, int quietMs, int timeoutMs)
{
    const int step = 50;
    long long last = processorTicks(pid);
    for (int waited = 0, quiet = 0; waited < timeoutMs; waited += step) {
        usleep(step * 1000);
        const long long now = processorTicks(pid);
        quiet = now == last ? quiet + step : 0;
        last = now;
        if (quiet >= quietMs)
            return true;
    }
    return false;
}
