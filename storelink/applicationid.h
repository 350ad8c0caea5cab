#ifndef QUILLET_STORELINK_APPLICATIONID_H
#define QUILLET_STORELINK_APPLICATIONID_H

#include <cstdint>

// 128-bit application identifier held as four 32-bit words.
struct ApplicationId {
    uint32_t words[4];

    // Set: every word non-zero. Unset: every word zero. A mix is neither.
    bool isSet() const { return words[0] && words[1] && words[2] && words[3]; }
    bool isUnset() const { return !words[0] && !words[1] && !words[2] && !words[3]; }
};

// Defined once per executable (shell/applicationid.cpp), from the build's
// QUILLET_APPLICATION_ID, so the libraries serve every variant of the program.
extern const ApplicationId APPLICATION_ID;

#endif
