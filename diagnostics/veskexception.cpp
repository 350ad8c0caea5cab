#include "veskexception.h"

#include "logmessage.h"

namespace com { namespace corvane { namespace vesk {

VeskException::VeskException(const std::string& message, int code)
    : m_message(message)
    , m_code(code)
    , m_text(message + " (Code: " + std::to_string(code) + ")")
{
}

const char* VeskException::what() const noexcept
{
    return m_text.c_str();
}

std::ostream& operator<<(std::ostream& out, const VeskException& e)
{
    return out << e.what();
}

VeskErrorException::VeskErrorException(const std::string& message, int code)
    : VeskException(message, code)
{
    LogMessage(ERROR) << what();
}

VeskWarningException::VeskWarningException(const std::string& message, int code)
    : VeskException(message, code)
{
    LogMessage(WARNING) << what();
}

InitializationException::InitializationException(const std::string& message, int code)
    : VeskErrorException(message, code)
{
}

// The error part has logged the text already; the runtime part logs it again.
VeskRuntimeException::VeskRuntimeException(const std::string& message, int code)
    : VeskErrorException(message, code)
{
    LogMessage(ERROR) << what();
}

}}}  // namespace com::corvane::vesk
