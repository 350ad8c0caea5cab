#ifndef QUILLET_CONSTANTS_H
#define QUILLET_CONSTANTS_H

// The program's build-time constants: the app identity read by the shell and
// the web content host, and the application identifier of the store side.
#include "storelink/applicationid.h"
#include "webcore/webapp.h"

#include <QString>

inline const QString CRITICAL_ERROR_MESSAGE
    = QStringLiteral("The application experienced a critical error");

#endif
