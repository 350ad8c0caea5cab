#include "sitespecificcookiejar.h"

#include <QMutex>
#include <QMutexLocker>

namespace {
SiteSpecificCookieJar* g_instance = nullptr;
QMutex g_creationLock;
}

SiteSpecificCookieJar* SiteSpecificCookieJar::instance()
{
    if (g_instance)
        return g_instance;
    QMutexLocker locker(&g_creationLock);
    if (!g_instance)
        g_instance = new SiteSpecificCookieJar(nullptr);
    return g_instance;
}

SiteSpecificCookieJar::SiteSpecificCookieJar(QObject* parent)
    : QNetworkCookieJar(parent)
{
}
