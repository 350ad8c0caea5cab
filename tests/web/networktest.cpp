// The network layer without a view: which requests the virtual origin serves
// from the bundle and which go to the network; the cookie jar against its
// file. Pages on the origin and cookies across a restart are in tests/e2e.
#include "isolatedenvironment.h"
#include "recordinghttpserver.h"
#include "web/sitespecificcookiejar.h"
#include "web/webapp.h"
#include "web/zemnetworkaccessmanager.h"

#include <QNetworkCookie>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestNetwork : public QObject {
    Q_OBJECT
    std::unique_ptr<IsolatedEnvironment> m_home;
    RecordingHttpServer m_proxy;  // requests that go to the network meet it, as sent

    static void setCookie(SiteSpecificCookieJar& jar, const QByteArray& setCookieLine, const QString& url)
    {
        jar.setCookiesFromUrl(QNetworkCookie::parseCookies(setCookieLine), QUrl(url));
    }

private slots:
    void initTestCase() { QVERIFY(m_proxy.listen()); }
    void init() { m_home = std::make_unique<IsolatedEnvironment>(); }

    void servesBundleOrNetwork_data()
    {
        QTest::addColumn<QString>("call");        // "[POST ]url"
        QTest::addColumn<int>("status");          // 0: goes to the network; no further columns
        QTest::addColumn<QString>("type");
        QTest::addColumn<QByteArray>("content");  // the bundle file's text
        const QString host = APPLICATION_HOST, origin = "http://" + APPLICATION_HOST;
        QTest::newRow("query, fragment, port and user information are dropped")
            << "http://joe@" + host + ":8080/img/dot.png?a#b" << 200 << "image/png" << QByteArray("PNG");
        QTest::newRow("encoded percent is decoded once only")
            << origin + "/pct%2541.txt" << 200 << "text/plain" << QByteArray("percent file");
        QTest::newRow("encoded dot segments stay inside the widget folder")
            << origin + "/css/%2e%2e/%2E%2E/%2e%2e/img/dot.png" << 200 << "image/png" << QByteArray("PNG");
        QTest::newRow("empty path names the widget folder, which is no file")
            << origin << 403 << "text/plain" << QByteArray();
        QTest::newRow("POST to the origin goes to the network") << "POST " + origin + "/data.json" << 0;
        QTest::newRow("https to the origin host goes to the network") << "https://" + host + "/a" << 0;
        QTest::newRow("host that merely starts with the origin host goes to the network")
            << origin + ".example/data.json" << 0;
    }

    void servesBundleOrNetwork()
    {
        QFETCH(QString, call);
        QFETCH(int, status);
        const QByteArray method = call.startsWith("POST ") ? "POST" : "GET";
        const QString url = call.mid(method == "POST" ? 5 : 0);
        ZemNetworkAccessManager nam;
        nam.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", m_proxy.port()));
        const int seenBefore = m_proxy.requests().size();
        const QNetworkRequest request{QUrl(url)};
        std::unique_ptr<QNetworkReply> reply(method == "POST" ? nam.post(request, QByteArray("x"))
                                                              : nam.get(request));
        QVERIFY(reply->isFinished() || QSignalSpy(reply.get(), &QNetworkReply::finished).wait(5000));
        QCOMPARE(reply->url(), QUrl(url));

        if (status == 0) {
            QCOMPARE(m_proxy.requests().size(), seenBefore + 1);
            const RecordingHttpServer::Request sent = m_proxy.requests().last();
            QCOMPARE(sent.method, url.startsWith("https") ? QByteArray("CONNECT") : method);
            QVERIFY2(sent.target.contains(QUrl(url).host().toLatin1()), sent.target.constData());
            return;
        }
        QFETCH(QString, type);
        QFETCH(QByteArray, content);
        QCOMPARE(m_proxy.requests().size(), seenBefore);
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), status);
        QCOMPARE(reply->error() == QNetworkReply::NoError, status == 200);
        QCOMPARE(reply->header(QNetworkRequest::ContentTypeHeader).toString(), type);
        const QByteArray body = reply->readAll();
        QVERIFY2(body.contains(content), body.constData());
        if (status == 200)
            QCOMPARE(reply->header(QNetworkRequest::ContentLengthHeader).toInt(), body.size());
    }

    // Cookies are grouped by host, host-less ones in [General]. An expired
    // cookie overwrites its stored text, so a new jar does not bring it back.
    void cookieFileGroupsByHostAndKeepsExpiries()
    {
        const QUrl url("http://example.com/");
        {
            SiteSpecificCookieJar jar;  // writes its file when it goes
            setCookie(jar, "id=one", "http://one.example/");
            setCookie(jar, "local=yes", "file:///tmp/page.html");
            setCookie(jar, "sid=abc; expires=Wed, 01 Jan 2099 00:00:00 GMT", url.toString());
            setCookie(jar, "sid=; expires=Thu, 01 Jan 1970 00:00:00 GMT", url.toString());
            QVERIFY(jar.cookiesForUrl(url).isEmpty());
        }
        QSettings file(SiteSpecificCookieJar::cookieFilePath(), QSettings::IniFormat);
        QCOMPARE(file.childGroups(), QStringList({"example.com", "one.example"}));
        QCOMPARE(file.childKeys(), QStringList("local"));
        QVERIFY(file.value("one.example/id").toString().startsWith("id=one;"));
        const QString stored = file.value("example.com/sid").toString();
        QVERIFY2(stored.startsWith("sid=; expires=Thu, 01-Jan-1970"), qPrintable(stored));
        QVERIFY(SiteSpecificCookieJar().cookiesForUrl(url).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestNetwork)
#include "networktest.moc"
