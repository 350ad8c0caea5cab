#include "logmessage.h"

#include "logfile.h"

#include "platform/text.h"

#include <fstream>

namespace com { namespace corvane { namespace vesk {

namespace {

const wchar_t kNoFile[] = L"<none>";
const wchar_t* const kLevelWords[] = {L"DEBUG", L"INFO", L"WARNING", L"ERROR", L"CRITICAL"};

const wchar_t* levelWord(LogLevel level)
{
    return level >= DEBUG && level <= CRITICAL ? kLevelWords[level] : L"UNKNOWN";
}

}  // namespace

LogMessage::LogMessage(LogLevel level)
    : m_file(kNoFile)
    , m_level(level)
{
}

LogMessage::LogMessage(int32_t line, const wchar_t* file, LogLevel level)
    : m_line(line)
    , m_file(file ? file : kNoFile)
    , m_level(level)
{
}

LogMessage::~LogMessage()
{
    write();
}

LogMessage& LogMessage::operator<<(const std::string& text)
{
    m_text << platform::fromUtf8(text);
    return *this;
}

LogMessage& LogMessage::operator<<(const char* text)
{
    return *this << std::string(text ? text : "");
}

std::wstring LogMessage::line(const std::wstring& timestamp) const
{
    std::wstring result = timestamp + L" -" + levelWord(m_level) + L"- ";
    if (m_level == DEBUG)
        result += std::wstring(m_file) + L" " + std::to_wstring(m_line) + L" ";
    return result + m_text.str();
}

void LogMessage::write() noexcept
{
    try {
        std::ofstream file;
        if (openLogFile(file)) {
            file << platform::toUtf8(line(logTimestamp())) << '\n';
            file.flush();
        }
    } catch (...) {
        // A log statement never disturbs its caller.
    }
}

}}}  // namespace com::corvane::vesk
