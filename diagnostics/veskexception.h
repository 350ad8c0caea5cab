#ifndef QUILLET_DIAGNOSTICS_VESKEXCEPTION_H
#define QUILLET_DIAGNOSTICS_VESKEXCEPTION_H

#include <exception>
#include <ostream>
#include <string>

namespace com { namespace corvane { namespace vesk {

// Base of the store SDK's exceptions: a message, a code and the text
// "<message> (Code: <code>)". Constructing one from (message, code) logs the
// text (see each class); copies log nothing.
class VeskException : public std::exception {
public:
    VeskException(const std::string& message, int code);
    VeskException(const VeskException& other) = default;
    ~VeskException() override = default;

    const char* what() const noexcept override;
    const std::string& message() const { return m_message; }
    int code() const { return m_code; }

private:
    std::string m_message;
    int m_code;
    std::string m_text;
};

std::ostream& operator<<(std::ostream& out, const VeskException& e);

class VeskErrorException : public VeskException {  // logs one ERROR line
public:
    VeskErrorException(const std::string& message, int code);
    VeskErrorException(const VeskErrorException& other) = default;
};

class VeskWarningException : public VeskException {  // logs one WARNING line
public:
    VeskWarningException(const std::string& message, int code);
    VeskWarningException(const VeskWarningException& other) = default;
};

class InitializationException : public VeskErrorException {  // one ERROR line
public:
    InitializationException(const std::string& message, int code);
    InitializationException(const InitializationException& other) = default;
};

class VeskRuntimeException : public VeskErrorException {  // two ERROR lines
public:
    VeskRuntimeException(const std::string& message, int code);
    VeskRuntimeException(const VeskRuntimeException& other) = default;
};

}}}  // namespace com::corvane::vesk

#endif
