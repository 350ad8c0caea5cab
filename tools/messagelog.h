#ifndef QUILLET_TOOLS_MESSAGELOG_H
#define QUILLET_TOOLS_MESSAGELOG_H

#include <cstdio>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// Writes each received request as one JSON object on its own line, flushed at
// once, so a developer can follow the messages as they arrive. Thread-safe.
class MessageLog {
public:
    using Field = std::pair<std::string, std::string>;

    // An empty path writes to standard output; a file is appended to.
    explicit MessageLog(const std::string& path);
    ~MessageLog();
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    bool isOpen() const { return m_file != nullptr; }
    // {"time":..., "operation":..., <fields as strings>..., <numbers>...}
    void write(const std::string& operation, const std::vector<Field>& fields,
               const std::vector<std::pair<std::string, long>>& numbers = {});

    static std::string quote(const std::string& text);

private:
    std::mutex m_mutex;
    FILE* m_file;
    bool m_ownsFile;
};

#endif
