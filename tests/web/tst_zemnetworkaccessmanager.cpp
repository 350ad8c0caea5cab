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

#include <memory>

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
        QTest::addColumn<int>("status");         // 0: goes to the network
        QTest::addColumn<QByteArray>("content");  // the bundle file's text
        QTest::addColumn<QString>("type");

        const int network = 0;
        QTest::newRow("page on the origin is served from the widget folder")
            << QByteArray("GET") << appUrl(kHost + "/child.html") << 200
            << QByteArray("Child frame") << "text/html";
        QTest::newRow("query and fragment are dropped")
            << QByteArray("GET") << appUrl(kHost + "/img/dot.png?size=2#top") << 200
            << QByteArray("PNG") << "image/png";
        QTest::newRow("empty path names the widget folder, which is no file")
            << QByteArray("GET") << appUrl(kHost) << 403 << QByteArray() << "text/plain";
        QTest::newRow("host in mixed case is served from the bundle")
            << QByteArray("GET") << appUrl("5e0B7d21-3f4C-4b9A-8c2D-9a1E6f3B7c40.CaseWright/data.json")
            << 200 << QByteArray("from the bundle") << "application/json";
        QTest::newRow("port and user information are dropped")
            << QByteArray("GET") << appUrl("joe@" + kHost + ":8080/js/origin.js") << 200
            << QByteArray("scriptLoaded") << "application/javascript";
        QTest::newRow("percent-encoded space names the file with a space")
            << QByteArray("GET") << appUrl(kHost + "/with%20space.txt") << 200
            << QByteArray("space file") << "text/plain";
        QTest::newRow("encoded percent is decoded once only")
            << QByteArray("GET") << appUrl(kHost + "/pct%2541.txt") << 200
            << QByteArray("percent file") << "text/plain";
        QTest::newRow("encoded hash stays in the file name")
            << QByteArray("GET") << appUrl(kHost + "/odd%23name.txt") << 200
            << QByteArray("hash file") << "text/plain";
        QTest::newRow("missing bundle file is a 404")
            << QByteArray("GET") << appUrl(kHost + "/nowhere.html") << 404
            << QByteArray("404 Not Found") << "text/plain";
        for (const char* method : {"POST", "HEAD", "PUT", "DELETE"})
            QTest::newRow(qPrintable(QStringLiteral("%1 to the origin goes to the network")
                                         .arg(QLatin1String(method))))
                << QByteArray(method) << appUrl(kHost + "/data.json") << network << QByteArray()
                << QString();
        QTest::newRow("https to the origin host goes to the network")
            << QByteArray("GET") << appUrl(kHost + "/data.json", "https") << network
            << QByteArray() << QString();
        QTest::newRow("another host goes to the network")
            << QByteArray("GET") << QUrl("http://other.casewright/data.json") << network
            << QByteArray() << QString();
        QTest::newRow("host that merely starts with the origin host goes to the network")
            << QByteArray("GET") << appUrl(kHost + ".example/data.json") << network << QByteArray()
            << QString();
    }

    void servesBundleOrNetwork()
    {
        QFETCH(QByteArray, method);
        QFETCH(QUrl, url);
        QFETCH(int, status);
        QFETCH(QByteArray, content);
        QFETCH(QString, type);

        ZemNetworkAccessManager nam;
        nam.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", m_proxy.port()));
        const int seenBefore = m_proxy.requests().size();
        std::unique_ptr<QNetworkReply> reply(issue(nam, method, url));
        QVERIFY(waitFinished(reply.get()));
        QCOMPARE(reply->url(), url);

        if (status == 0) {
            QCOMPARE(m_proxy.requests().size(), seenBefore + 1);
            const RecordingHttpServer::Request sent = m_proxy.requests().last();
            const bool tunnel = url.scheme() == "https";
            QCOMPARE(sent.method, tunnel ? QByteArray("CONNECT") : method);
            QVERIFY2(sent.target.contains(url.host().toLatin1()), sent.target.constData());
            return;
        }
        QCOMPARE(m_proxy.requests().size(), seenBefore);
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), status);
        QCOMPARE(reply->error() == QNetworkReply::NoError, status == 200);
        QCOMPARE(reply->header(QNetworkRequest::ContentTypeHeader).toString(), type);
        const QByteArray body = reply->readAll();
        QVERIFY2(body.contains(content), body.constData());
        if (status == 200)
            QCOMPARE(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(),
                     qint64(body.size()));
    }

    void directResourceUrlIsLeftAlone()
    {
        ZemNetworkAccessManager nam;
        std::unique_ptr<QNetworkReply> reply(nam.get(QNetworkRequest(QUrl("qrc:/widget/data.json"))));
        QVERIFY(waitFinished(reply.get()));
        QCOMPARE(reply->url(), QUrl("qrc:/widget/data.json"));
        QVERIFY(!reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid());
        QVERIFY(reply->readAll().contains("from the bundle"));
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
                     QStringLiteral("200 OK application/json {\"served\": \"from the bundle\"}\n"));
        QCOMPARE(frame->evaluateJavaScript("window.missingStatus").toString(), QStringLiteral("404"));
        QCOMPARE(frame->evaluateJavaScript("document.getElementById('dot').naturalWidth").toInt(), 3);
    }
};

QTEST_MAIN(TestZemNetworkAccessManager)
#include "tst_zemnetworkaccessmanager.moc"
