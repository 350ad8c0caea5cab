#include "engineprofile.h"

#include "enginebridge.h"
#include "enginedownload.h"
#include "originserver.h"
#include "webcore/appidentity.h"
#include "webcore/cookiefile.h"
#include "webcore/webapp.h"
#include "webcore/windowbridge.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEngineDownloadItem>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>
#include <QtDebug>

#include <cstdio>
#include <unistd.h>

namespace {

// Adds the secret to the origin's requests, and only to them.
class OriginRequestInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    OriginRequestInterceptor(QByteArray secret, QObject* parent)
        : QWebEngineUrlRequestInterceptor(parent)
        , m_secret(std::move(secret))
        , m_host(APPLICATION_HOST.toLower())
    {
    }

    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        const QUrl url = info.requestUrl();
        if (url.scheme() == QLatin1String("http") && url.host() == m_host && url.port(80) == 80)
            info.setHttpHeader(OriginServer::kSecretHeader, m_secret);
        else if (url.scheme() == QLatin1String("qrc") && !m_webFolder.isEmpty())
            redirectToOrigin(info);
    }

private:
    // A web folder run unpacked is not a registered resource: what its start
    // page names under qrc:/widget/ is the same file on the origin.
    void redirectToOrigin(QWebEngineUrlRequestInfo& info)
    {
        const QString path = info.requestUrl().path(QUrl::FullyDecoded);
        if (!path.startsWith(QLatin1String("/widget/")))
            return;
        QUrl origin;
        origin.setScheme(QStringLiteral("http"));
        origin.setHost(m_host);
        origin.setPath(path.mid(int(strlen("/widget"))), QUrl::DecodedMode);
        info.redirect(origin);
    }

    const QByteArray m_secret;
    const QString m_host;
    const QString m_webFolder = AppIdentity::current().webFolder();
};

// A switch the engine reads once, when its first profile is made: the
// origin's host resolves to the origin server.
void setEngineSwitches(quint16 port)
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    flags += QStringLiteral(" --host-resolver-rules=\"MAP %1 127.0.0.1:%2\"")
                 .arg(APPLICATION_HOST.toLower())
                 .arg(port)
                 .toUtf8();
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
}

// A cookie of one host is kept with that host as its domain, one of the
// whole domain with a leading dot. The engine reads a domain in a cookie as
// the whole domain's: a host's cookie goes in without one, for its origin.
QUrl cookieOrigin(const QNetworkCookie& cookie)
{
    QString host = cookie.domain();
    if (host.startsWith(QLatin1Char('.')))
        host.remove(0, 1);
    QUrl origin;
    origin.setScheme(QLatin1String(cookie.isSecure() ? "https" : "http"));
    origin.setHost(host);
    origin.setPath(QStringLiteral("/"));
    return origin;
}

QNetworkCookie withoutHostDomain(QNetworkCookie cookie)
{
    if (!cookie.domain().startsWith(QLatin1Char('.')))
        cookie.setDomain(QString());
    return cookie;
}

bool sameCookie(const QNetworkCookie& a, const QNetworkCookie& b)
{
    return a.name() == b.name() && a.domain() == b.domain() && a.path() == b.path();
}

}  // namespace

// The engine's sandbox cannot start for the root user: only then is it off.
// Drawing offscreen, the engine aborts when it tries for a GL context.
void EngineProfile::prepare()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen")
        qputenv("QT_QPA_OFFSCREEN_NO_GLX", "1");
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
        std::fputs("Running as root: the web engine's sandbox is off.\n", stderr);
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
}

namespace {
EngineProfile* s_instance = nullptr;
// The cookie that marks how far the engine's cookie changes have come.
const QByteArray kMarkCookie = QByteArrayLiteral("quillet-cookie-mark");
}  // namespace

EngineProfile* EngineProfile::instance()
{
    if (!s_instance)
        s_instance = new EngineProfile;
    return s_instance;
}

void EngineProfile::shutDown()
{
    if (!s_instance)
        return;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (qobject_cast<QWebEngineView*>(window))
            delete window;
    }
    s_instance->takeCookieChanges();
    s_instance->savePendingCookies();
    delete s_instance;
    s_instance = nullptr;
}

// The store reports changes from the engine's network thread, in order: once
// a mark cookie set now has been reported, so has every change the engine
// took before it (a page's last cookie, set just before it closed its
// window). The mark never reaches the file.
void EngineProfile::takeCookieChanges()
{
    QWebEngineCookieStore* store = m_profile->cookieStore();
    QNetworkCookie mark(kMarkCookie, QByteArrayLiteral("1"));
    mark.setDomain(APPLICATION_HOST.toLower());
    mark.setPath(QStringLiteral("/"));
    bool seen = false;
    QEventLoop loop;
    const QMetaObject::Connection added = connect(
        store, &QWebEngineCookieStore::cookieAdded, &loop, [&](const QNetworkCookie& cookie) {
            if (cookie.name() == kMarkCookie) {
                seen = true;
                loop.quit();
            }
        });
    store->setCookie(mark);
    QTimer::singleShot(500, &loop, &QEventLoop::quit);
    if (!seen)
        loop.exec();
    disconnect(added);
    store->deleteCookie(mark);
}

EngineProfile::EngineProfile()
    : QObject(QCoreApplication::instance())
    , m_server(new OriginServer(this))
{
    if (!m_server->start())
        qWarning("The app's origin cannot be served: %s", qPrintable(m_server->errorString()));
    setEngineSwitches(m_server->serverPort());

    m_profile = new QWebEngineProfile(QStringLiteral("app"), this);
    m_profile->setPersistentStoragePath(AppIdentity::current().storagePath()
                                        + QStringLiteral("/webengine"));
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->setUrlRequestInterceptor(new OriginRequestInterceptor(m_server->secret(), this));
    keepCookies();
    addBridgeScript();
    connect(m_profile, &QWebEngineProfile::downloadRequested, this, &EngineDownload::start);
}

// The profile goes first, without the interceptor, which goes after it.
// The download items go before the profile: the engine makes a new item for
// each attempt at a dropped transfer, all with one identifier, and deleting
// them with the profile crashed now and then.
EngineProfile::~EngineProfile()
{
    m_profile->setUrlRequestInterceptor(nullptr);
    qDeleteAll(m_profile->findChildren<QWebEngineDownloadItem*>());
    delete m_profile;
}

void EngineProfile::savePendingCookies()
{
    m_cookieFile->savePending();
}

// The engine's cookie store tells of every change; the list mirrors it and is
// what the file writes.
void EngineProfile::keepCookies()
{
    m_cookieFile = new CookieFile([this] { return m_cookies; }, this);
    QWebEngineCookieStore* store = m_profile->cookieStore();
    connect(store, &QWebEngineCookieStore::cookieAdded, this, [this](const QNetworkCookie& cookie) {
        if (cookie.name() == kMarkCookie)
            return;
        for (QNetworkCookie& known : m_cookies) {
            if (sameCookie(known, cookie)) {
                known = cookie;
                m_cookieFile->changed();
                return;
            }
        }
        m_cookies.append(cookie);
        m_cookieFile->changed();
    });
    // An overwritten cookie may be reported removed after its successor was
    // added: only the very cookie that was removed goes.
    connect(store, &QWebEngineCookieStore::cookieRemoved, this,
            [this](const QNetworkCookie& cookie) {
                for (int i = 0; i < m_cookies.size(); ++i) {
                    if (sameCookie(m_cookies[i], cookie) && m_cookies[i].value() == cookie.value()) {
                        m_cookies.removeAt(i);
                        m_cookieFile->changed();
                        return;
                    }
                }
            });
    m_cookies = m_cookieFile->load();
    for (const QNetworkCookie& cookie : qAsConst(m_cookies))
        store->setCookie(withoutHostDomain(cookie), cookieOrigin(cookie));
    // The page's cookies are written when the event loop ends, too.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            &EngineProfile::savePendingCookies);
}

// Before the scripts of every main-frame document: the bridge object and its
// namespace.
void EngineProfile::addBridgeScript()
{
    QWebEngineScript script;
    script.setName(QStringLiteral("quillet-bridge"));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(EngineBridge::pageScript() + QLatin1Char(';')
                         + WindowBridge::namespaceScript());
    m_profile->scripts()->insert(script);
}
