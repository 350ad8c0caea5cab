// The virtual origin: which requests are served from the bundle's widget
// folder and which go to the network untouched, and a real page on the origin.
#include "shell/constants.h"
#include "tests/support/isolatedhome.h"
#include "tests/support/recordinghttpserver.h"
#include "web/zemnetworkaccessmanager.h"

#include <QApplication>
#include <QBuffer>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>
#include <QWebElement>
#include <QWebFrame>
#include <QWebPage>

namespace {

const QString kHost = APPLICATION_HOST;

QUrl appUrl(const QString& hostAndRest, const QString& scheme = QStringLiteral("http"))
{
    return QUrl(scheme + "://" + hostAndRest);
}

QNetworkReply* issue(QNetworkAccessManager& nam, const QByteArray& method, const QUrl& url)
{
    QNetworkRequest request(url);
    if (method == "GET")
        return nam.get(request);
    if (method == "HEAD")
        return nam.head(request);
    if (method == "DELETE")
        return nam.deleteResource(request);
    if (method == "PUT")
        return nam.put(request, QByteArray("x"));
    return nam.post(request, QByteArray("x"));
}

bool waitFinished(QNetworkReply* reply)
{
    return reply->isFinished() || QSignalSpy(reply, &QNetworkReply::finished).wait(5000);
}

}  // namespace

class TestZemNetworkAccessManager : public QObject {
    Q_OBJECT
    IsolatedHome m_home;
    RecordingHttpServer m_proxy;

private slots:
    void initTestCase()
    {
        // Requests that go to the network meet a recording proxy on loopback,
        // so nothing leaves the machine and each one is seen as sent.
        QVERIFY(m_proxy.listen());
    }

    void servesBundleOrNetwork_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QUrl>("servedFrom");    // empty: goes to the network
        QTest::addColumn<QByteArray>("content");  // checked when served

        const QUrl network;
        QTest::newRow("page on the origin is served from the widget folder")
            << QByteArray("GET") << appUrl(kHost + "/child.html")
            << QUrl("qrc:/widget/child.html") << QByteArray("Child frame");
        QTest::newRow("query and fragment are dropped")
            << QByteArray("GET") << appUrl(kHost + "/img/dot.png?size=2#top")
            << QUrl("qrc:/widget/img/dot.png") << QByteArray("PNG");
        QTest::newRow("empty path maps to the widget folder itself")
            << QByteArray("GET") << appUrl(kHost) << QUrl("qrc:/widget") << QByteArray();
        QTest::newRow("host in mixed case is served from the bundle")
            << QByteArray("GET") << appUrl("5e0B7d21-3f4C-4b9A-8c2D-9a1E6f3B7c40.CaseWright/data.json")
            << QUrl("qrc:/widget/data.json") << QByteArray("from the bundle");
        QTest::newRow("port and user information are dropped")
            << QByteArray("GET") << appUrl("joe@" + kHost + ":8080/data.json")
            << QUrl("qrc:/widget/data.json") << QByteArray("from the bundle");
        QTest::newRow("percent-encoded space names the file with a space")
            << QByteArray("GET") << appUrl(kHost + "/with%20space.txt")
            << QUrl("qrc:/widget/with space.txt") << QByteArray("space file");
        QTest::newRow("encoded percent is decoded once only")
            << QByteArray("GET") << appUrl(kHost + "/pct%2541.txt")
            << QUrl::fromEncoded("qrc:/widget/pct%2541.txt") << QByteArray("percent file");
        QTest::newRow("encoded hash stays in the file name")
            << QByteArray("GET") << appUrl(kHost + "/odd%23name.txt")
            << QUrl::fromEncoded("qrc:/widget/odd%23name.txt") << QByteArray("hash file");
        for (const char* method : {"POST", "HEAD", "PUT", "DELETE"})
            QTest::newRow(qPrintable(QStringLiteral("%1 to the origin goes to the network")
                                         .arg(QLatin1String(method))))
                << QByteArray(method) << appUrl(kHost + "/data.json") << network << QByteArray();
        QTest::newRow("https to the origin host goes to the network")
            << QByteArray("GET") << appUrl(kHost + "/data.json", "https") << network << QByteArray();
        QTest::newRow("another host goes to the network")
            << QByteArray("GET") << QUrl("http://other.casewright/data.json") << network
            << QByteArray();
        QTest::newRow("host that merely starts with the origin host goes to the network")
            << QByteArray("GET") << appUrl(kHost + ".example/data.json") << network << QByteArray();
        QTest::newRow("direct resource URL is left alone")
            << QByteArray("GET") << QUrl("qrc:/widget/data.json") << QUrl("qrc:/widget/data.json")
            << QByteArray("from the bundle");
    }

    void servesBundleOrNetwork()
    {
        QFETCH(QByteArray, method);
        QFETCH(QUrl, url);
        QFETCH(QUrl, servedFrom);
        QFETCH(QByteArray, content);

        ZemNetworkAccessManager nam;
        nam.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", m_proxy.port()));
        const int seenBefore = m_proxy.requests().size();
        QNetworkReply* reply = issue(nam, method, url);
        QVERIFY(waitFinished(reply));

        if (servedFrom.isEmpty()) {
            QCOMPARE(reply->url(), url);
            QCOMPARE(m_proxy.requests().size(), seenBefore + 1);
            const RecordingHttpServer::Request sent = m_proxy.requests().last();
            const bool tunnel = url.scheme() == "https";
            QCOMPARE(sent.method, tunnel ? QByteArray("CONNECT") : method);
            QVERIFY2(sent.target.contains(url.host().toLatin1()), sent.target.constData());
        } else {
            QCOMPARE(m_proxy.requests().size(), seenBefore);
            QCOMPARE(reply->url(), servedFrom);
            if (!content.isEmpty()) {
                QCOMPARE(reply->error(), QNetworkReply::NoError);
                QVERIFY(reply->readAll().contains(content));
            }
        }
        delete reply;
    }

    void missingBundleFileFails()
    {
        ZemNetworkAccessManager nam;
        QNetworkReply* reply = nam.get(QNetworkRequest(appUrl(kHost + "/nowhere.html")));
        QVERIFY(waitFinished(reply));
        QCOMPARE(reply->error(), QNetworkReply::ContentNotFoundError);
        QVERIFY(reply->readAll().isEmpty());
        delete reply;
    }

    // A document on the origin loads its script, image and XHR from the
    // bundle by relative and absolute paths, and keeps the origin's URL.
    void pageOnTheOriginLoadsEverythingFromTheBundle()
    {
        QWebPage page;
        ZemNetworkAccessManager nam;
        page.setNetworkAccessManager(&nam);
        QSignalSpy loaded(&page, &QWebPage::loadFinished);
        page.mainFrame()->load(appUrl(kHost + "/origin.html"));
        QVERIFY(loaded.wait(10000));
        QCOMPARE(loaded.first().first().toBool(), true);
        QWebFrame* frame = page.mainFrame();
        QCOMPARE(frame->url(), appUrl(kHost + "/origin.html"));
        QCOMPARE(frame->evaluateJavaScript("location.host").toString(), kHost.toLower());
        QCOMPARE(frame->evaluateJavaScript("window.scriptLoaded").toString(), QStringLiteral("yes"));
        QTRY_COMPARE(frame->evaluateJavaScript("window.xhrText").toString(),
                     QStringLiteral("{\"served\": \"from the bundle\"}\n"));
        QCOMPARE(frame->evaluateJavaScript("document.getElementById('dot').naturalWidth").toInt(), 3);
    }
};

QTEST_MAIN(TestZemNetworkAccessManager)
#include "tst_zemnetworkaccessmanager.moc"
