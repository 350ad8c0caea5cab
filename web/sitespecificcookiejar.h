#ifndef QUILLET_WEB_SITESPECIFICCOOKIEJAR_H
#define QUILLET_WEB_SITESPECIFICCOOKIEJAR_H

#include <QNetworkCookieJar>

// The one cookie jar of the process, shared by every view.
class SiteSpecificCookieJar : public QNetworkCookieJar {
    Q_OBJECT
public:
    static SiteSpecificCookieJar* instance();

    explicit SiteSpecificCookieJar(QObject* parent = nullptr);
};

#endif
