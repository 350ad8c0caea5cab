#ifndef QUILLET_WEB_SITESPECIFICCOOKIEJAR_H
#define QUILLET_WEB_SITESPECIFICCOOKIEJAR_H

#include <QNetworkCookieJar>

class QSettings;

// The one cookie jar of the process, shared by every view. Besides keeping
// cookies in memory it writes each cookie it accepts to "cookies.ini" in the
// storage folder (one group per host, one key per cookie name, the value in
// full Set-Cookie form) and loads that file back at construction, so a user
// stays logged in across runs.
class SiteSpecificCookieJar : public QNetworkCookieJar {
    Q_OBJECT
public:
    static SiteSpecificCookieJar* instance();

    explicit SiteSpecificCookieJar(QObject* parent = nullptr);
    ~SiteSpecificCookieJar() override;

    bool setCookiesFromUrl(const QList<QNetworkCookie>& cookieList, const QUrl& url) override;

    // Path of the cookie file.
    static QString cookieFilePath();

private:
    void loadCookies();
    QList<QNetworkCookie> acceptedCookies(const QList<QNetworkCookie>& cookieList,
                                          const QUrl& url) const;

    QSettings* m_settings = nullptr;
};

#endif
