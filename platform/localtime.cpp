#include "localtime.h"

#include <chrono>

namespace platform {

std::tm localTimeNow(int* milliseconds)
{
    const auto clock = std::chrono::system_clock::now();
    const std::time_t now = std::chrono::system_clock::to_time_t(clock);
    if (milliseconds)
        *milliseconds = int(
            std::chrono::duration_cast<std::chrono::milliseconds>(clock.time_since_epoch()).count()
            % 1000);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
}

std::string formatTime(const std::tm& time, const char* format)
{
    char buffer[128];
    const size_t length = std::strftime(buffer, sizeof buffer, format, &time);
    return std::string(buffer, length);
}

std::string formatLocalTime(const char* format)
{
    return formatTime(localTimeNow(), format);
}

}  // namespace platform
