#ifndef QUILLET_WEB_SITESPECIFICCOOKIEJAR_H
#define QUILLET_WEB_SITESPECIFICCOOKIEJAR_H

#include <QNetworkCookieJar>
#include <QTimer>

// The one cookie jar of the process, shared by every view. It keeps its
// cookies in "cookies.ini" in the storage folder, so a user stays logged in
// across runs: one group per host, one key per cookie, the value in full
// Set-Cookie form. The key is the cookie's name, extended by its path (and a
// mark for a cookie of the whole domain) where those are not the plain ones,
// so two cookies of one name on different paths are both kept. Loading reads
// every value, whatever its key, so files written by earlier versions load.
//
// The file is written whole and atomically shortly after cookies change, and
// when the event loop ends: a crash or a kill loses at most the last moment.
// A damaged file is moved aside, not overwritten, and a warning says where.
class SiteSpecificCookieJar : public QNetworkCookieJar {
    Q_OBJECT
public:
    static SiteSpecificCookieJar* instance();

    explicit SiteSpecificCookieJar(QObject* parent = nullptr);
    ~SiteSpecificCookieJar() override;

    bool insertCookie(const QNetworkCookie& cookie) override;
    bool deleteCookie(const QNetworkCookie& cookie) override;

    // Path of the cookie file.
    static QString cookieFilePath();
    // How long after a change the file is written, in milliseconds.
    static constexpr int kSaveDelay = 500;
    // Writes changes still waiting for that delay now: the program is asked
    // to quit, and a busy page may keep the event loop from ever ending.
    void savePending();

private:
    void loadCookies();
    bool keepDamagedFile(const QString& path, int readable);
    void scheduleSave();
    void save();

    QTimer m_saveTimer;
    bool m_canSave = true;
};

#endif
