#include "sitespecificcookiejar.h"

#include "sitespecificwebview.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkCookie>
#include <QSettings>
#include <QUrl>
#include <QtDebug>

namespace {
SiteSpecificCookieJar* s_instance = nullptr;
QMutex s_creationLock;
QMutex s_releaseLock;

// The group of a cookie: the host it belongs to.
QString groupOf(const QNetworkCookie& cookie)
{
    const QString domain = cookie.domain();
    return domain.startsWith(QLatin1Char('.')) ? domain.mid(1) : domain;
}

// Its key in the group: the name alone for a host cookie on "/", as earlier
// versions wrote every key. Otherwise "=", a "." for a cookie of the whole
// domain, and the encoded path follow; "=" never occurs in a cookie name, so
// the forms never meet. "/" is encoded: QSettings reads it as a group break.
QString keyOf(const QNetworkCookie& cookie)
{
    QString key = QString::fromUtf8(cookie.name());
    key.replace(QLatin1Char('%'), QLatin1String("%25"))
        .replace(QLatin1Char('/'), QLatin1String("%2F"));
    const bool wholeDomain = cookie.domain().startsWith(QLatin1Char('.'));
    if (!wholeDomain && cookie.path() == QLatin1String("/"))
        return key;
    return key + QLatin1Char('=') + QLatin1String(wholeDomain ? "." : "")
           + QString::fromLatin1(QUrl::toPercentEncoding(cookie.path(), QByteArray(), "."));
}

// QSettings skips lines it cannot read without a word. The file as written
// holds only section lines, "key=value" lines and blank lines.
bool looksWritten(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return !file.exists();
    const QByteArray content = file.readAll();
    if (content.contains('\0'))
        return false;
    for (const QByteArray& line : content.split('\n')) {
        const QByteArray text = line.trimmed();
        if (!text.isEmpty() && !text.contains('=') && !(text.startsWith('[') && text.endsWith(']')))
            return false;
    }
    return true;
}
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
{
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(kSaveDelay);
    connect(&m_saveTimer, &QTimer::timeout, this, &SiteSpecificCookieJar::save);
    loadCookies();
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
    if (m_saveTimer.isActive())
        save();
}

QString SiteSpecificCookieJar::cookieFilePath()
{
    return SiteSpecificWebView::storagePath() + QDir::separator() + QStringLiteral("cookies.ini");
}

bool SiteSpecificCookieJar::insertCookie(const QNetworkCookie& cookie)
{
    const bool inserted = QNetworkCookieJar::insertCookie(cookie);
    if (inserted)
        scheduleSave();
    return inserted;
}

// Every change passes here: an insert first deletes the cookie it replaces,
// and an expired cookie only deletes.
bool SiteSpecificCookieJar::deleteCookie(const QNetworkCookie& cookie)
{
    const bool deleted = QNetworkCookieJar::deleteCookie(cookie);
    if (deleted)
        scheduleSave();
    return deleted;
}

// Each value holds one cookie; a second cookie of the same identity (files
// of earlier versions grouped by the host that set it) counts once.
void SiteSpecificCookieJar::loadCookies()
{
    const QSettings file(cookieFilePath(), QSettings::IniFormat);
    QHash<QString, QNetworkCookie> byIdentity;
    int unreadable = 0;
    const QStringList keys = file.allKeys();
    for (const QString& key : keys) {
        const QList<QNetworkCookie> parsed
            = QNetworkCookie::parseCookies(file.value(key).toByteArray());
        if (parsed.size() != 1) {
            ++unreadable;
            continue;
        }
        byIdentity.insert(groupOf(parsed.first()) + QLatin1Char('/') + keyOf(parsed.first()),
                          parsed.first());
    }
    setAllCookies(byIdentity.values());
    if (unreadable > 0 || file.status() != QSettings::NoError || !looksWritten(file.fileName())) {
        if (keepDamagedFile(file.fileName(), byIdentity.size()))
            scheduleSave();
    }
}

// Moves a damaged file aside, next to the new one, so nothing of it is lost.
// A file that cannot be moved is left alone and not written this run.
bool SiteSpecificCookieJar::keepDamagedFile(const QString& path, int readable)
{
    QString aside = path + QStringLiteral(".damaged");
    for (int n = 2; QFile::exists(aside); ++n)
        aside = path + QStringLiteral(".damaged-%1").arg(n);
    if (!QFile::rename(path, aside)) {
        m_canSave = false;
        qWarning("Cookie file %s is damaged and cannot be moved aside; it is left as it is and "
                 "cookies of this run are not saved",
                 qPrintable(QDir::toNativeSeparators(path)));
        return false;
    }
    qWarning("Cookie file %s was damaged: kept it as %s; the %d cookies that could be read go "
             "into a new file",
             qPrintable(QDir::toNativeSeparators(path)),
             qPrintable(QDir::toNativeSeparators(aside)), readable);
    return true;
}

void SiteSpecificCookieJar::scheduleSave()
{
    if (m_canSave && !m_saveTimer.isActive())
        m_saveTimer.start();
}

// Writes the whole jar; QSettings replaces the file in one step. Expired
// cookies are left out. A QSettings of its own each time: its status tells
// the first error it met, so only a fresh one tells whether this write worked.
void SiteSpecificCookieJar::save()
{
    m_saveTimer.stop();
    QSettings file(cookieFilePath(), QSettings::IniFormat);
    file.clear();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QList<QNetworkCookie> cookies = allCookies();
    for (const QNetworkCookie& cookie : cookies) {
        if (!cookie.isSessionCookie() && cookie.expirationDate() < now)
            continue;
        const QString group = groupOf(cookie);
        const QString key = keyOf(cookie);
        file.setValue(group.isEmpty() ? key : group + QLatin1Char('/') + key,
                      QString::fromUtf8(cookie.toRawForm(QNetworkCookie::Full)));
    }
    file.sync();
    if (file.status() != QSettings::NoError)
        qWarning("Cookie file %s could not be written",
                 qPrintable(QDir::toNativeSeparators(file.fileName())));
}
