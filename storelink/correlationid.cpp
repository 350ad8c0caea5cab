#include "storelink/correlationid.h"

#include "platform/localtime.h"

#include <cstdio>
#include <mutex>

namespace com { namespace corvane { namespace vesk {

const char* const CorrelationId::kDefaultSeed = "87654321-1234-4321-1234-123456789012";
uint32_t CorrelationId::s_running = 0;

namespace {

std::mutex s_runningMutex;

// hour x milliseconds of the local time.
uint32_t clockFactor()
{
    int millis = 0;
    const std::tm local = platform::localTimeNow(&millis);
    return static_cast<uint32_t>(local.tm_hour) * static_cast<uint32_t>(millis);
}

}  // namespace

std::string CorrelationId::next(const std::string& seed)
{
    return derive(derive(seed.empty() ? kDefaultSeed : seed));
}

std::string CorrelationId::derive(const std::string& input)
{
    if (input.empty())
        return std::string();
    // Decimal groups only: reading stops at the first character that does not
    // fit, e.g. the first letter of a hexadecimal text. Unread groups stay 0.
    int read[5] = {0, 0, 0, 0, 0};
    std::sscanf(input.c_str(), "%8d-%4d-%4d-%4d-%8d", &read[0], &read[1], &read[2], &read[3],
                &read[4]);
    uint32_t group[5];
    {
        std::lock_guard<std::mutex> lock(s_runningMutex);
        for (int i = 0; i < 5; ++i) {
            // The running value advances by at least one each step: the clock
            // factor alone is 0 for a whole hour after midnight, which made
            // every identifier of that hour the same. Wraps at 2^32 first.
            uint32_t d = (clockFactor() + s_running + 1) % 4294967295u;
            s_running = d;
            group[i] = ((d >> 1) + static_cast<uint32_t>(read[i])) ^ d;
        }
    }
    char text[64];
    // The fifth field is taken from group 3.
    std::snprintf(text, sizeof text, "%08u-%04u-%04u-%04u-%04u%08u", group[0] % 99999999u,
                  group[1] % 9999u, group[2] % 9999u, group[3] % 9999u, (group[3] >> 4) % 9999u,
                  group[4] % 99999999u);
    return text;
}

}}}  // namespace com::corvane::vesk
