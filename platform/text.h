#ifndef QUILLET_PLATFORM_TEXT_H
#define QUILLET_PLATFORM_TEXT_H

#include <string>

namespace platform {

// UTF-8 <-> wide text. Invalid UTF-8 bytes become U+FFFD; wide characters
// outside Unicode are written as U+FFFD.
std::wstring fromUtf8(const std::string& text);
std::string toUtf8(const std::wstring& text);

// Little-endian UTF-16 bytes (no byte-order mark) to wide text.
std::wstring fromUtf16le(const std::string& bytes);

// The text in lower case (towlower, character by character).
std::wstring lowered(std::wstring text);

}  // namespace platform

#endif
