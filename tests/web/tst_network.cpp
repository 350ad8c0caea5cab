// The network layer without a view: which requests the virtual origin serves
// from the bundle and which go to the network; the cookie jar against its
// file. Pages on the origin and cookies across a restart are in tests/e2e.
#include "shell/constants.h"
#include "tests/support/isolatedhome.h"
#include "tests/support/recordinghttpserver.h"
#include "web/sitespecificcookiejar.h"
#include "web/zemnetworkaccessmanager.h"

#include <QFile>
#include <QNetworkCookie>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {
void setCookie(SiteSpecificCookieJar& jar, const QByteArray& setCookieLine, const QString& url)
{
    jar.setCookiesFromUrl(QNetworkCookie::parseCookies(setCookieLine), QUrl(url));
}

QByteArray fileText()
{
    QFile file(SiteSpecificCookieJar::cookieFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}  // namespace

class TestNetwork : public QObject {
    Q_OBJECT
    std::unique_ptr<IsolatedHome> m_home;
    RecordingHttpServer m_proxy;  // requests that go to the network meet it, as sent

private slots:
    void initTestCase() { QVERIFY(m_proxy.listen()); }
    void init() { m_home = std::make_unique<IsolatedHome>(); }

    void servesBundleOrNetwork_data()
    {
        QTest::addColumn<QString>("call");        // "[POST ]url"
        QTest::addColumn<int>("status");          // 0: goes to the network; no further columns
        QTest::addColumn<QString>("type");
        QTest::addColumn<QByteArray>("content");  // the bundle file's text
        const QString host = APPLICATION_HOST, origin = "http://" + APPLICATION_HOST;
        QTest::newRow("page on the origin is served from the widget folder")
            << origin + "/child.html" << 200 << "text/html" << QByteArray("Child frame");
        QTest::newRow("query, fragment, port and user information are dropped")
            << "http://joe@" + host + ":8080/img/dot.png?a#b" << 200 << "image/png" << QByteArray("PNG");
        QTest::newRow("encoded percent is decoded once only")
            << origin + "/pct%2541.txt" << 200 << "text/plain" << QByteArray("percent file");
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

    // Then a new jar given an empty list says false and leaves the file as it was.
    void groupsFollowTheHostHostlessUrlsUseTheGeneralSectionAndAnEmptyListChangesNothing()
    {
        {
            SiteSpecificCookieJar jar;  // writes its file when it goes
            setCookie(jar, "id=one", "http://one.example/");
            setCookie(jar, "id=two", "http://two.example/");
            setCookie(jar, "local=yes", "file:///tmp/page.html");
        }
        QSettings file(SiteSpecificCookieJar::cookieFilePath(), QSettings::IniFormat);
        QCOMPARE(file.childGroups(), QStringList({"one.example", "two.example"}));
        QVERIFY(file.value("one.example/id").toString().startsWith("id=one;"));
        QVERIFY(file.value("two.example/id").toString().startsWith("id=two;"));
        const QByteArray before = fileText();
        QVERIFY(before.contains("[General]\nlocal="));
        QVERIFY(!SiteSpecificCookieJar().setCookiesFromUrl({}, QUrl("http://other.org/")));
        QCOMPARE(fileText(), before);
    }

    void expiringACookieOverwritesItsStoredText()
    {
        const QString url = "http://example.com/";
        {
            SiteSpecificCookieJar jar;
            setCookie(jar, "sid=abc; expires=Wed, 01 Jan 2099 00:00:00 GMT", url);
            setCookie(jar, "sid=; expires=Thu, 01 Jan 1970 00:00:00 GMT", url);
            QVERIFY(jar.cookiesForUrl(QUrl(url)).isEmpty());
        }
        const QString stored = QSettings(SiteSpecificCookieJar::cookieFilePath(), QSettings::IniFormat)
                                   .value("example.com/sid").toString();
        QVERIFY2(stored.startsWith("sid=; expires=Thu, 01-Jan-1970"), qPrintable(stored));
        QVERIFY(SiteSpecificCookieJar().cookiesForUrl(QUrl(url)).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestNetwork)
#include "tst_network.moc"
