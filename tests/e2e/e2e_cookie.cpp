// Cookies in the real program across a restart: the server logs the user in
// with cookies, the program quits, and the next run sends them back, while a
// cookie the jar refused stays out of the file and out of every request.
#include "tests/support/quilletinstance.h"
#include "tests/support/recordinghttpserver.h"

#include <QFile>
#include <QSettings>
#include <QTest>

namespace {
using Request = RecordingHttpServer::Request;
using Response = RecordingHttpServer::Response;

Response html(const QByteArray& body)
{
    Response response;
    response.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("text/html")));
    response.body = "<html><body>" + body + "</body></html>";
    return response;
}
}  // namespace

class E2eCookie : public QObject {
    Q_OBJECT

private slots:
    void loginSurvivesARestartAndRefusedCookiesStayOut()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        const QByteArray port = QByteArray::number(server.port());
        int run = 1;
        server.setHandler([&](const Request& request) {
            if (request.path() != "/app")
                return html({});
            if (run == 1) {
                Response response = html("<script>new Image().src = '/loggedin';</script>");
                response.headers.append(qMakePair(QByteArray("Set-Cookie"), QByteArray("sid=abc; path=/")));
                response.headers.append(qMakePair(QByteArray("Set-Cookie"),
                    QByteArray("pref=dark; expires=Fri, 01 Jan 2100 00:00:00 GMT; path=/")));
                response.headers.append(qMakePair(QByteArray("Set-Cookie"),
                    QByteArray("foreign=1; domain=.localhost; path=/")));
                return response;
            }
            // The refused cookie named localhost; ask that host as well.
            return html("<script>new Image().src = 'http://localhost:" + port
                        + "/foreign'; new Image().src = '/shown';</script>");
        });

        QuilletInstance quillet;
        quillet.addBundleFile("index.html", "<html><body><script>location.href = '"
                                                + server.baseUrl() + "/app';</script></body></html>");
        QVERIFY(quillet.buildBundle());

        QVERIFY(quillet.start());
        QVERIFY2(server.waitForRequest("/loggedin", 20000), quillet.output().constData());
        QVERIFY(server.requestsTo("/loggedin").first().headers.value("cookie").contains("sid=abc"));
        quillet.terminate();
        QVERIFY(quillet.waitForExit(10000));

        const QString cookieFile = quillet.storageFolder() + "/cookies.ini";
        QSettings stored(cookieFile, QSettings::IniFormat);
        QCOMPARE(stored.childGroups(), QStringList("127.0.0.1"));
        QCOMPARE(stored.value("127.0.0.1/sid").toString(),
                 QString("sid=abc; domain=127.0.0.1; path=/"));
        QVERIFY(stored.value("127.0.0.1/pref").toString().startsWith("pref=dark; expires="));
        QFile raw(cookieFile);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QVERIFY(!raw.readAll().contains("foreign"));

        run = 2;
        QVERIFY(quillet.start());
        QVERIFY2(server.waitForRequest("/shown", 20000), quillet.output().constData());
        QVERIFY(server.waitForRequest("/foreign", 5000));
        quillet.terminate();
        QVERIFY(quillet.waitForExit(10000));

        const QList<Request> apps = server.requestsTo("/app");
        QCOMPARE(apps.size(), 2);
        QVERIFY(!apps.first().headers.contains("cookie"));
        const QByteArray sentAfterRestart = apps.last().headers.value("cookie");
        QVERIFY2(sentAfterRestart.contains("sid=abc") && sentAfterRestart.contains("pref=dark"),
                 sentAfterRestart.constData());
        for (const Request& request : server.requests())
            QVERIFY2(!request.headers.value("cookie").contains("foreign"), request.target.constData());
    }
};

QTEST_GUILESS_MAIN(E2eCookie)
#include "e2e_cookie.moc"
