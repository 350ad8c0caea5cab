#ifndef QUILLET_WEB_SITESPECIFICWEBPAGE_H
#define QUILLET_WEB_SITESPECIFICWEBPAGE_H

#include <QWebPage>

// The page every view creates for itself: desktop-program policy for the
// packaged application.
class SiteSpecificWebPage : public QWebPage {
    Q_OBJECT
public:
    explicit SiteSpecificWebPage(QObject* parent = nullptr);
    ~SiteSpecificWebPage() override;
};

#endif
