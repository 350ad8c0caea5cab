#ifndef QUILLET_CONSTANTS_H
#define QUILLET_CONSTANTS_H

#include "web/webapp.h"

#include <QString>
#include <cstdint>

// The program's side of the build-time description (web/webapp.h).
inline const QString RESOURCE_BUNDLE_FILE = QStringLiteral("Widget.rcc");
inline const QString CRITICAL_ERROR_MESSAGE =
    QStringLiteral("The application experienced a critical error");

// 128-bit application identifier held as four 32-bit words.
struct ApplicationId {
    uint32_t words[4];

    // Set: every word non-zero. Unset: every word zero. A mix is neither.
    bool isSet() const
    {
        return words[0] && words[1] && words[2] && words[3];
    }
    bool isUnset() const
    {
        return !words[0] && !words[1] && !words[2] && !words[3];
    }
};

// Defined once per executable (shell/applicationid.cpp), from the build's
// QUILLET_APPLICATION_ID, so the libraries serve every variant of the program.
extern const ApplicationId APPLICATION_ID;

#endif
