#ifndef QUILLET_WEB_SITESPECIFICWEBVIEW_H
#define QUILLET_WEB_SITESPECIFICWEBVIEW_H

#include <QWebView>

class SiteSpecificCookieJar;
class SiteSpecificWebPage;
class ZemNetworkAccessManager;

// The WebKit view the packaged application runs in: the main window's
// content, and every pop-up window. Each view builds its own page and network
// access manager, shares the process-wide cookie jar, persists WebKit storage
// in the application's data folder, and offers at most the inspector in its
// context menu.
class SiteSpecificWebView : public QWebView {
public:
    explicit SiteSpecificWebView(QWidget* parent = nullptr);
    ~SiteSpecificWebView() override;

    // The folder that holds WebKit's persistent storage and the cookie file.
    static QString storagePath();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    ZemNetworkAccessManager* m_networkAccessManager = nullptr;  // never deleted
    SiteSpecificCookieJar* m_cookieJar = nullptr;               // shared, not owned
    SiteSpecificWebPage* m_page = nullptr;                      // child object
};

#endif
