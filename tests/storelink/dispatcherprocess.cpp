#include "dispatcherprocess.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Reads the text of a JSON string starting after its opening quote.
std::string readJsonString(const std::string& line, size_t& pos)
{
    std::string text;
    while (pos < line.size() && line[pos] != '"') {
        char c = line[pos++];
        if (c != '\\') {
            text += c;
            continue;
        }
        c = line[pos++];
        switch (c) {
        case 'n': text += '\n'; break;
        case 't': text += '\t'; break;
        case 'r': text += '\r'; break;
        case 'u': text += static_cast<char>(std::strtol(line.substr(pos, 4).c_str(), nullptr, 16)); pos += 4; break;
        default: text += c;
        }
    }
    ++pos;
    return text;
}

DispatcherProcess::Entry parseLine(const std::string& line)
{
    DispatcherProcess::Entry entry;
    size_t pos = line.find('{') + 1;
    while (pos < line.size() && line[pos] == '"') {
        ++pos;
        const std::string key = readJsonString(line, pos);
        ++pos;  // ':'
        if (line[pos] == '"') {
            ++pos;
            entry[key] = readJsonString(line, pos);
        } else {
            const size_t end = line.find_first_of(",}", pos);
            entry[key] = line.substr(pos, end - pos);
            pos = end;
        }
        if (line[pos] == ',')
            ++pos;
    }
    return entry;
}

}  // namespace

DispatcherProcess::DispatcherProcess(const std::vector<std::string>& options,
                                     const std::string& logPath)
    : m_logPath(logPath)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return;
    m_pid = fork();
    if (m_pid == 0) {
        dup2(pipeFds[1], STDERR_FILENO);
        close(pipeFds[0]);
        std::vector<std::string> args = {QUILLET_DISPATCHER_PATH, "--port", "0", "--log", logPath};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    // Wait (at most 5 s) for "listening on http://127.0.0.1:<port>/...".
    std::string text;
    pollfd entry{pipeFds[0], POLLIN, 0};
    std::smatch match;
    const std::regex listening("127\\.0\\.0\\.1:([0-9]+)/");
    while (poll(&entry, 1, 5000) > 0) {
        char buffer[256];
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
        if (std::regex_search(text, match, listening)) {
            m_port = std::atoi(match[1].str().c_str());
            break;
        }
    }
    close(pipeFds[0]);
}

DispatcherProcess::~DispatcherProcess()
{
    terminate();
}

int DispatcherProcess::terminate()
{
    if (m_pid <= 0)
        return -1;
    kill(m_pid, SIGTERM);
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    return status;
}

std::vector<DispatcherProcess::Entry> DispatcherProcess::entries() const
{
    std::vector<Entry> result;
    std::ifstream in(m_logPath);
    for (std::string line; std::getline(in, line);)
        result.push_back(parseLine(line));
    return result;
}

std::vector<DispatcherProcess::Entry> DispatcherProcess::entries(const std::string& operation) const
{
    std::vector<Entry> result;
    for (const Entry& entry : entries()) {
        if (entry.at("operation") == operation)
            result.push_back(entry);
    }
    return result;
}
