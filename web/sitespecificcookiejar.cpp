#include "sitespecificcookiejar.h"

#include "sitespecificwebview.h"

#include <QCoreApplication>
#include <QDir>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkCookie>
#include <QSettings>
#include <QtDebug>

namespace {
SiteSpecificCookieJar* s_instance = nullptr;
QMutex s_creationLock;
QMutex s_releaseLock;
}

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
{
    m_settings = new QSettings(cookieFilePath(), QSettings::IniFormat);
    loadCookies();
    // The jar belongs to network access managers that live to the end of the
    // process, so its destructor may never run: write pending cookies when
    // the event loop ends.
    if (QCoreApplication::instance()) {
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] {
            if (m_settings)
                m_settings->sync();
        });
    }
}

SiteSpecificCookieJar::~SiteSpecificCookieJar()
{
    QMutexLocker locker(&s_releaseLock);
    delete m_settings;
    m_settings = nullptr;
}

QString SiteSpecificCookieJar::cookieFilePath()
{
    return SiteSpecificWebView::storagePath() + QDir::separator() + QStringLiteral("cookies.ini");
}

void SiteSpecificCookieJar::loadCookies()
{
    if (m_settings->status() != QSettings::NoError)
        qWarning("Cookie file %s could not be read; starting without stored cookies",
                 qPrintable(m_settings->fileName()));
    QList<QNetworkCookie> cookies;
    const QStringList keys = m_settings->allKeys();
    for (const QString& key : keys)
        cookies += QNetworkCookie::parseCookies(m_settings->value(key, QString()).toByteArray());
    setAllCookies(cookies);
}

bool SiteSpecificCookieJar::setCookiesFromUrl(const QList<QNetworkCookie>& cookieList,
                                              const QUrl& url)
{
    if (cookieList.isEmpty())
        return false;
    const QList<QNetworkCookie> accepted = acceptedCookies(cookieList, url);
    if (!accepted.isEmpty()) {
        m_settings->beginGroup(url.host());
        for (const QNetworkCookie& cookie : accepted)
            m_settings->setValue(QString::fromUtf8(cookie.name()),
                                 QString::fromUtf8(cookie.toRawForm(QNetworkCookie::Full)));
        m_settings->endGroup();
    }
    return QNetworkCookieJar::setCookiesFromUrl(cookieList, url);
}

// The cookies the base jar takes from this list, in the form it keeps them:
// with the domain and path it fills in. A cookie stored without them would
// come back host-less and never be sent again; a refused one must not come
// back at all. Expired cookies pass too: they delete the stored one.
QList<QNetworkCookie> SiteSpecificCookieJar::acceptedCookies(
    const QList<QNetworkCookie>& cookieList, const QUrl& url) const
{
    QList<QNetworkCookie> accepted;
    for (QNetworkCookie cookie : cookieList) {
        cookie.normalize(url);
        if (validateCookie(cookie, url))
            accepted.append(cookie);
    }
    return accepted;
}
