#include "dispatcherprocess.h"

#include "childprocess.h"
#include "isolatedenvironment.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <unistd.h>

namespace {

// One line of the service's log: a flat JSON object of strings and numbers.
DispatcherProcess::Entry parseLine(const std::string& line)
{
    std::vector<std::string> items;
    for (size_t i = line.find('{') + 1; i < line.size(); ++i) {
        if (line[i] == '"') {
            for (items.emplace_back(); ++i < line.size() && line[i] != '"';)
                items.back() += line[i] != '\\'    ? line[i]
                                : line[++i] == 'n' ? '\n'
                                : line[i] == 't'   ? '\t'
                                                   : line[i];
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

std::string linkRegistry(int port, int timeOut)
{
    const auto dword = [](const char* name, int value) {
        char text[64];
        std::snprintf(text, sizeof text, "\"%s\"=dword:%08x\n", name, unsigned(value));
        return value > 0 ? std::string(text) : std::string();
    };
    return "Windows Registry Editor Version "
           "5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Corvane\\Wharfline]\n"
           + dword("DispatcherServicePort", port)
           + "\n[HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vesk_SDK]\n" + dword("TimeOut", timeOut);
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
        const std::string text = readFile(logPath + ".out");
        const auto at = text.find("127.0.0.1:");
        if (at != std::string::npos && text.find("/Disp", at) != std::string::npos)
            m_port = std::stoi(text.substr(at + 10));
    }
}

DispatcherProcess::~DispatcherProcess()
{
    if (m_pid > 0 && kill(m_pid, SIGTERM) == 0)
        waitChild(m_pid, 5000);
}

std::vector<DispatcherProcess::Entry> DispatcherProcess::entries(const std::string& operation,
                                                                 const std::string& type) const
{
    std::vector<Entry> result;
    std::ifstream in(m_logPath);
    for (std::string line; std::getline(in, line);) {
        Entry entry = parseLine(line);
        if ((operation.empty() || entry["operation"] == operation)
            && (type.empty() || entry["type"] == type))
            result.push_back(entry);
    }
    return result;
}
