#ifndef QUILLET_PLATFORM_LOCALTIME_H
#define QUILLET_PLATFORM_LOCALTIME_H

#include <ctime>
#include <string>

namespace platform {

// The current local time (GetLocalTime on Windows); milliseconds, when given,
// receives the milliseconds of the same instant.
std::tm localTimeNow(int* milliseconds = nullptr);

// The current local time formatted with strftime; empty if the format does
// not fit 128 characters.
std::string formatLocalTime(const char* format);

// The given time formatted with strftime; empty if it does not fit 128 characters.
std::string formatTime(const std::tm& time, const char* format);

}  // namespace platform

#endif
