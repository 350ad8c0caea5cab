#include "childprocess.h"

#include "isolatedenvironment.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <unordered_map>

namespace {

// The fields of /proc/<pid>/stat the helpers below use.
struct ProcessStat {
    pid_t parent = 0;
    long long ticks = 0;  // processor time, user and system, all threads
    long residentPages = 0;
};

bool readProcessStat(const char* path, ProcessStat& stat)
{
    char text[1024];
    const int fd = open(path, O_RDONLY);
    if (fd < 0)
        return false;
    const ssize_t length = read(fd, text, sizeof text - 1);
    close(fd);
    if (length <= 0)
        return false;
    text[length] = 0;
    const char* afterName = std::strrchr(text, ')');
    long long user = 0, system = 0;
    // Fields after the name: state is the 3rd, the parent the 4th, utime the
    // 14th, stime the 15th, the resident pages the 24th.
    if (!afterName
        || std::sscanf(afterName + 2,
                       "%*c %d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lld %lld"
                       " %*d %*d %*d %*d %*d %*d %*u %*u %ld",
                       &stat.parent, &user, &system, &stat.residentPages)
               != 4)
        return false;
    stat.ticks = user + system;
    return true;
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
    const auto outputPath
        = std::filesystem::temp_directory_path() / ("quillet-child-" + std::to_string(getpid()));
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
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)
           && WEXITSTATUS(status) == 0;
}

long treeResidentKiB(pid_t root)
{
    // One pass over /proc: every process's parent and resident pages.
    std::unordered_map<pid_t, ProcessStat> processes;
    std::unordered_multimap<pid_t, pid_t> children;
    if (DIR* proc = opendir("/proc")) {
        char path[300];
        for (dirent* entry; (entry = readdir(proc));) {
            ProcessStat stat;
            std::snprintf(path, sizeof path, "/proc/%s/stat", entry->d_name);
            if (std::isdigit(static_cast<unsigned char>(entry->d_name[0]))
                && readProcessStat(path, stat)) {
                const pid_t pid = std::atoi(entry->d_name);
                processes[pid] = stat;
                children.emplace(stat.parent, pid);
            }
        }
        closedir(proc);
    }
    long pages = 0;
    for (std::vector<pid_t> pending{root}; !pending.empty();) {
        const pid_t pid = pending.back();
        pending.pop_back();
        const auto found = processes.find(pid);
        if (found != processes.end())
            pages += found->second.residentPages;
        for (auto [at, end] = children.equal_range(pid); at != end; ++at)
            pending.push_back(at->second);
    }
    return pages * (sysconf(_SC_PAGESIZE) / 1024);
}

// Processor time of a process in clock ticks, user and system, all threads.
static long long processorTicks(pid_t pid)
{
    ProcessStat stat;
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    return readProcessStat(path.c_str(), stat) ? stat.ticks : -1;
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
