#ifndef QUILLET_DIAGNOSTICS_LOGMESSAGE_H
#define QUILLET_DIAGNOSTICS_LOGMESSAGE_H

#include <cstdint>
#include <sstream>
#include <string>

namespace com { namespace corvane { namespace vesk {

enum LogLevel : int { DEBUG = 0, INFO = 1, WARNING = 2, ERROR = 3, CRITICAL = 4 };

// One log statement. Collect the text with stream() or <<; when the message
// ends its life it appends one line to the log file (see logfile.h). Never
// throws; a line that cannot be written is dropped silently.
//
//   LogMessage(ERROR) << "Dispatcher unreachable (Code: " << code << ")";
class LogMessage {
public:
    explicit LogMessage(LogLevel level);
    // DEBUG statements name their source; a null file name is "<none>".
    LogMessage(int32_t line, const wchar_t* file, LogLevel level = DEBUG);
    ~LogMessage();
    LogMessage(const LogMessage&) = delete;
    LogMessage& operator=(const LogMessage&) = delete;

    std::wostream& stream() { return m_text; }

    template <typename T>
    LogMessage& operator<<(const T& value)
    {
        m_text << value;
        return *this;
    }
    // Narrow text is UTF-8 (plain ASCII throughout the SDK).
    LogMessage& operator<<(const std::string& text);
    LogMessage& operator<<(const char* text);

    // The line as written to the file, without its end of line.
    std::wstring line(const std::wstring& timestamp) const;

private:
    void write() noexcept;

    std::wostringstream m_text;
    int32_t m_line = 0;
    const wchar_t* m_file;
    LogLevel m_level;
};

}}}  // namespace com::corvane::vesk

#endif
