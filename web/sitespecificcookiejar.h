#ifndef QUILLET_WEB_SITESPECIFICCOOKIEJAR_H
#define QUILLET_WEB_SITESPECIFICCOOKIEJAR_H

#include "webcore/cookiefile.h"

#include <QNetworkCookieJar>

// The one cookie jar of the process, shared by every view: QtWebKit's pages
// take their cookies from here. It starts with the cookies of the cookie file
// and has the file written after every change (see CookieFile).
class SiteSpecificCookieJar : public QNetworkCookieJar {
    Q_OBJECT
public:
    static SiteSpecificCookieJar* instance();

    explicit SiteSpecificCookieJar(QObject* parent = nullptr);
    ~SiteSpecificCookieJar() override;

    bool insertCookie(const QNetworkCookie& cookie) override;
    bool deleteCookie(const QNetworkCookie& cookie) override;

    // Path of the cookie file.
    static QString cookieFilePath() { return CookieFile::path(); }
    // How long after a change the file is written, in milliseconds.
    static constexpr int kSaveDelay = CookieFile::kSaveDelay;
    // Writes changes still waiting for that delay now: the program is asked
    // to quit, and a busy page may keep the event loop from ever ending.
    void savePending();

private:
    CookieFile m_file;
};

#endif
