#ifndef QUILLET_STORELINK_CORRELATIONID_H
#define QUILLET_STORELINK_CORRELATIONID_H

#include <cstdint>
#include <string>

namespace com { namespace corvane { namespace vesk {

// Correlation identifiers: the SessionId of a message, which its reply
// carries back. Derived from a seed text, the local time and a process-wide
// running value. Thread-safe.
class CorrelationId {
public:
    // The seed used until the application identifier is known.
    static const char* const kDefaultSeed;

    // The derivation applied twice: to seed (or kDefaultSeed when empty),
    // then to its result.
    static std::string next(const std::string& seed);
    // One derivation; empty for an empty input.
    static std::string derive(const std::string& input);

private:
    static uint32_t s_running;
};

}}}  // namespace com::corvane::vesk

#endif
