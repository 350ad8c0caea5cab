#ifndef QUILLET_WEBCORE_WEBAPP_H
#define QUILLET_WEBCORE_WEBAPP_H

#include <QString>

// Build-time identity of the packaged web application: what an app without a
// manifest is called and where it keeps its data (see AppIdentity).
inline const QString APPLICATION_NAME = QStringLiteral("Quillet");
inline const QString APPLICATION_TITLE = QStringLiteral("Quillet");
inline const QString ORGANIZATION_NAME = QStringLiteral("brambleKiln");
inline const QString APPLICATION_HOST
    = QStringLiteral("5E0B7D21-3F4C-4B9A-8C2D-9A1E6F3B7C40.casewright");
inline const QString RESOURCE_BUNDLE_FILE = QStringLiteral("Widget.rcc");

#endif
