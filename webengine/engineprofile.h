#ifndef QUILLET_WEBENGINE_ENGINEPROFILE_H
#define QUILLET_WEBENGINE_ENGINEPROFILE_H

#include <QList>
#include <QNetworkCookie>
#include <QObject>

class CookieFile;
class OriginServer;
class QWebEngineProfile;

// The one Qt WebEngine profile of the app's pages and what it stands on: the
// origin server, the host rule and request header that lead the origin's
// requests to it, web storage in the app's storage folder, cookies kept in
// the app's cookie file (the engine keeps none of its own), and the bridge
// script in every main-frame document.
class EngineProfile : public QObject {
    Q_OBJECT
public:
    // Before the application object: what the engine reads at its start.
    static void prepare();

    // Made at first use, after the application object; it lives as long as
    // the application does.
    static EngineProfile* instance();
    static QWebEngineProfile* profile() { return instance()->m_profile; }

    // Writes cookie changes that wait for the file's delay now.
    void savePendingCookies();
    // Once the main window has gone: closes the windows still open (pop-ups,
    // inspectors), writes the cookies with every change the engine has
    // taken, and releases the profile, which the engine needs to happen
    // while it still runs.
    static void shutDown();

private:
    EngineProfile();
    ~EngineProfile() override;
    void keepCookies();
    void addBridgeScript();
    void takeCookieChanges();

    OriginServer* m_server;        // child object
    QWebEngineProfile* m_profile;  // child object
    CookieFile* m_cookieFile;      // child object
    QList<QNetworkCookie> m_cookies;
};

#endif
