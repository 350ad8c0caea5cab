#include "sitespecificcookiejar.h"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>

namespace {
SiteSpecificCookieJar* s_instance = nullptr;
QMutex s_creationLock;
QMutex s_releaseLock;
}  // namespace

SiteSpecificCookieJar* SiteSpecificCookieJar::instance()
{
    if (s_instance)
        return s_instance;
    QMutexLocker locker(&s_creationLock);
    if (!s_instance)
        s_instance = new SiteSpecificCookieJar(nullptr);
    return s_instance;
}

SiteSpecificCookieJar::SiteSpecificCookieJar(QObject* parent)
    : QNetworkCookieJar(parent)
    , m_file([this] { return allCookies(); })
{
    setAllCookies(m_file.load());
    // The jar belongs to network access managers that live to the end of the
    // process, so its destructor may never run: write pending cookies when
    // the event loop ends.
    if (QCoreApplication::instance()) {
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                &SiteSpecificCookieJar::savePending);
    }
}

SiteSpecificCookieJar::~SiteSpecificCookieJar()
{
    QMutexLocker locker(&s_releaseLock);
    savePending();
}

void SiteSpecificCookieJar::savePending()
{
    m_file.savePending();
}

bool SiteSpecificCookieJar::insertCookie(const QNetworkCookie& cookie)
{
    const bool inserted = QNetworkCookieJar::insertCookie(cookie);
    if (inserted)
        m_file.changed();
    return inserted;
}

// Every change passes here: an insert first deletes the cookie it replaces,
// and an expired cookie only deletes.
bool SiteSpecificCookieJar::deleteCookie(const QNetworkCookie& cookie)
{
    const bool deleted = QNetworkCookieJar::deleteCookie(cookie);
    if (deleted)
        m_file.changed();
    return deleted;
}
