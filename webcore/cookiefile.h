#ifndef QUILLET_WEBCORE_COOKIEFILE_H
#define QUILLET_WEBCORE_COOKIEFILE_H

#include <QList>
#include <QNetworkCookie>
#include <QObject>
#include <QTimer>

#include <functional>

// The file that keeps the app's cookies across runs, "cookies.ini" in the
// storage folder: one group per host, one key per cookie, the value in full
// Set-Cookie form. The key is the cookie's name, extended by its path (and a
// mark for a cookie of the whole domain) where those are not the plain ones,
// so two cookies of one name on different paths are both kept. Loading reads
// every value, whatever its key, so files written by earlier versions load.
//
// The file is written whole and atomically shortly after a change, and when
// the event loop ends: a crash or a kill loses at most the last moment. A
// damaged file is moved aside, not overwritten, and a warning says where.
class CookieFile : public QObject {
    Q_OBJECT
public:
    // The cookies to write: those the engine holds at that moment.
    using CookieSource = std::function<QList<QNetworkCookie>()>;

    explicit CookieFile(CookieSource cookies, QObject* parent = nullptr);
    ~CookieFile() override;

    static QString path();
    // How long after a change the file is written, in milliseconds.
    static constexpr int kSaveDelay = 500;

    // The cookies of the file.
    QList<QNetworkCookie> load();
    // The cookies changed: the file is written after kSaveDelay.
    void changed();
    // Writes changes still waiting for that delay now.
    void savePending();

private:
    bool keepDamagedFile(const QString& path, int readable);
    void save();

    CookieSource m_cookies;
    QTimer m_saveTimer;
    bool m_canSave = true;
};

#endif
