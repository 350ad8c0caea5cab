#include "messagelog.h"

#include <chrono>
#include <ctime>

namespace {

std::string utcTime()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const long millis = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count()
        % 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    char full[48];
    std::snprintf(full, sizeof full, "%s.%03ldZ", text, millis);
    return full;
}

}  // namespace

MessageLog::MessageLog(const std::string& path)
    : m_file(path.empty() ? stdout : std::fopen(path.c_str(), "a"))
    , m_ownsFile(!path.empty())
{
}

MessageLog::~MessageLog()
{
    if (m_ownsFile && m_file)
        std::fclose(m_file);
}

void MessageLog::write(const std::string& operation, const std::vector<Field>& fields,
                       const std::vector<std::pair<std::string, long>>& numbers)
{
    std::string line = "{\"time\":" + quote(utcTime()) + ",\"operation\":" + quote(operation);
    for (const Field& field : fields)
        line += "," + quote(field.first) + ":" + quote(field.second);
    for (const auto& number : numbers)
        line += "," + quote(number.first) + ":" + std::to_string(number.second);
    line += "}\n";
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_file)
        return;
    std::fputs(line.c_str(), m_file);
    std::fflush(m_file);
}

std::string MessageLog::quote(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);  // UTF-8 passes through
            }
        }
    }
    return out + "\"";
}
