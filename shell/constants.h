#ifndef QUILLET_CONSTANTS_H
#define QUILLET_CONSTANTS_H

#include <QString>
#include <cstdint>

// Build-time description of the packaged web application.
inline const QString APPLICATION_NAME = QStringLiteral("Quillet");
inline const QString APPLICATION_TITLE = QStringLiteral("Quillet");
inline const QString ORGANIZATION_NAME = QStringLiteral("brambleKiln");
inline const QString APPLICATION_HOST =
    QStringLiteral("5E0B7D21-3F4C-4B9A-8C2D-9A1E6F3B7C40.casewright");
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
