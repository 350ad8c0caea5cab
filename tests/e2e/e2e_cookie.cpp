// Cookies in the real program across a restart: the server logs the user in
// with a session cookie and a lasting one, the program quits, and the next
// run sends both back, while a cookie the jar refused (a foreign domain)
// stays out of the file and out of every request.
#include "tests/support/quilletinstance.h"
#include "tests/support/recordinghttpserver.h"

#include <QFile>
#include <QSettings>
#include <QTest>

using Request = RecordingHttpServer::Request;
using Response = RecordingHttpServer::Response;
using Header = QPair<QByteArray, QByteArray>;

class E2eCookie : public QObject {
    Q_OBJECT

private slots:
    void loginSurvivesARestartAndRefusedCookiesStayOut()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        int run = 1;
        server.setHandler([&](const Request& request) {
            Response response;
            response.headers.append(Header("Content-Type", "text/html"));
            if (request.path() != "/app")
                return response;
            if (run == 1) {
                response.body = "<script>new Image().src = '/loggedin';</script>";
                for (const char* cookie : {"sid=abc; path=/", "foreign=1; domain=.localhost; path=/",
                                           "pref=dark; expires=Fri, 01 Jan 2100 00:00:00 GMT; path=/"})
                    response.headers.append(Header("Set-Cookie", cookie));
            } else {  // the refused cookie named localhost: ask that host as well
                response.body = "<script>new Image().src = 'http://localhost:"
                    + QByteArray::number(server.port()) + "/foreign'; new Image().src = '/shown';</script>";
            }
            return response;
        });
        QuilletInstance quillet;
        quillet.addBundleFile("index.html",
                              "<script>location.href = '" + server.baseUrl() + "/app';</script>");
        QVERIFY(quillet.buildBundle());

        QVERIFY(quillet.start());
        QVERIFY2(server.waitForRequest("/loggedin", 20000), quillet.output().constData());
        QVERIFY(server.requestsTo("/loggedin").first().headers.value("cookie").contains("sid=abc"));
        quillet.terminate();
        QVERIFY(quillet.waitForExit(10000));

        const QString cookieFile = quillet.storageFolder() + "/cookies.ini";
        QSettings stored(cookieFile, QSettings::IniFormat);
        QCOMPARE(stored.childGroups(), QStringList("127.0.0.1"));
        QCOMPARE(stored.value("127.0.0.1/sid").toString(), QString("sid=abc; domain=127.0.0.1; path=/"));
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
