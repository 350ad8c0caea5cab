// The network layer without a view. The virtual origin: which requests are
// served from the bundle's widget folder and which go to the network
// untouched (a page on the origin is checked on the real program in
// tests/e2e). The persistent cookie jar against its file: what is written,
// in which group, and what a new jar (a restarted program) restores; the
// round trip through a real server and a restart is in tests/e2e as well.
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
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("status");          // 0: goes to the network
        QTest::addColumn<QByteArray>("content");  // the bundle file's text
        QTest::addColumn<QString>("type");

        const QString origin = "http://" + APPLICATION_HOST;
        QTest::newRow("page on the origin is served from the widget folder")
            << QByteArray("GET") << origin + "/child.html" << 200 << QByteArray("Child frame")
            << "text/html";
        QTest::newRow("query, fragment, port and user information are dropped")
            << QByteArray("GET") << "http://joe@" + APPLICATION_HOST + ":8080/img/dot.png?size=2#top"
            << 200 << QByteArray("PNG") << "image/png";
        QTest::newRow("encoded percent is decoded once only")
            << QByteArray("GET") << origin + "/pct%2541.txt" << 200 << QByteArray("percent file")
            << "text/plain";
        QTest::newRow("empty path names the widget folder, which is no file")
            << QByteArray("GET") << origin << 403 << QByteArray() << "text/plain";
        QTest::newRow("POST to the origin goes to the network")
            << QByteArray("POST") << origin + "/data.json" << 0 << QByteArray() << QString();
        QTest::newRow("https to the origin host goes to the network")
            << QByteArray("GET") << "https://" + APPLICATION_HOST + "/data.json" << 0
            << QByteArray() << QString();
        QTest::newRow("host that merely starts with the origin host goes to the network")
            << QByteArray("GET") << origin + ".example/data.json" << 0 << QByteArray() << QString();
    }

    void servesBundleOrNetwork()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, url);
        QFETCH(int, status);
        QFETCH(QByteArray, content);
        QFETCH(QString, type);

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
        QCOMPARE(m_proxy.requests().size(), seenBefore);
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), status);
        QCOMPARE(reply->error() == QNetworkReply::NoError, status == 200);
        QCOMPARE(reply->header(QNetworkRequest::ContentTypeHeader).toString(), type);
        const QByteArray body = reply->readAll();
        QVERIFY2(body.contains(content), body.constData());
        if (status == 200)
            QCOMPARE(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(), qint64(body.size()));
    }

    void emptyListReturnsFalseAndLeavesTheFileUntouched()
    {
        {
            SiteSpecificCookieJar jar;  // writes its file when it goes
            setCookie(jar, "a=1", "http://example.com/");
        }
        const QByteArray before = fileText();
        QVERIFY(!before.isEmpty());
        QVERIFY(!SiteSpecificCookieJar().setCookiesFromUrl({}, QUrl("http://other.org/")));
        QCOMPARE(fileText(), before);
    }

    void groupsFollowTheHostAndHostlessUrlsUseTheGeneralSection()
    {
        {
            SiteSpecificCookieJar jar;
            setCookie(jar, "id=one", "http://one.example/");
            setCookie(jar, "id=two", "http://two.example/");
            setCookie(jar, "local=yes", "file:///tmp/page.html");
        }
        QSettings file(SiteSpecificCookieJar::cookieFilePath(), QSettings::IniFormat);
        QCOMPARE(file.childGroups(), QStringList({"one.example", "two.example"}));
        QVERIFY(file.value("one.example/id").toString().startsWith("id=one;"));
        QVERIFY(file.value("two.example/id").toString().startsWith("id=two;"));
        QVERIFY(fileText().contains("[General]\nlocal="));
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
