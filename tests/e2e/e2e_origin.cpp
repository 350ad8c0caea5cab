// The virtual origin in the real program: the start page moves onto
// http://<application host>/, which is served from the bundle's widget
// folder, scripts, images and XHR included, and behaves as a web origin
// (local storage, cookies).
#include "shell/constants.h"
#include "tests/support/quilletinstance.h"
#include "tests/support/recordinghttpserver.h"

#include <QFile>
#include <QTest>
#include <QUrlQuery>

class E2eOrigin : public QObject {
    Q_OBJECT

private slots:
    void startPageMovesOntoTheOriginServedFromTheBundle()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QuilletInstance quillet;
        // The host in mixed case: it must still be served from the bundle.
        QString host = APPLICATION_HOST.toLower();
        host[0] = host[0].toUpper();
        host.replace(".casewright", ".CaseWright");
        quillet.addBundleFile("index.html", "<script>location.replace('http://" + host.toUtf8()
                                                + "/index.html');</script>");
        quillet.addBundleFile("widget/js/app script.js", "window.appScript = 'ran';");
        quillet.addBundleFile("widget/data.json", "{\"from\":\"bundle\"}");
        QFile dot(QFINDTESTDATA("../web/bundle/widget/img/dot.png"));
        QVERIFY(dot.open(QIODevice::ReadOnly));
        quillet.addBundleFile("widget/img/dot.png", dot.readAll());
        quillet.addBundleFile(
            "widget/index.html",
            "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
            "<script src=\"/js/app%20script.js\"></script></head><body>"
            "<img id=\"dot\" src=\"img/dot.png\">"
            "<script>\n"
            "var r = {where: location.protocol + '//' + location.host + location.pathname,"
            " script: window.appScript || 'missing'};\n"
            "localStorage.setItem('k', 'kept'); r.storage = localStorage.getItem('k');\n"
            "document.cookie = 'flavour=walnut; path=/'; r.cookie = document.cookie;\n"
            "function get(path, key, then) {\n"
            "  var x = new XMLHttpRequest();\n"
            "  x.onload = function () { r[key] = x.status + ':' + x.responseText; then(); };\n"
            "  x.onerror = function () { r[key] = 'error'; then(); };\n"
            "  x.open('GET', path); x.send();\n"
            "}\n"
            "window.onload = function () {\n"
            "  r.image = document.getElementById('dot').naturalWidth;\n"
            "  get('/data.json?x=1', 'xhr', function () { get('/missing.json', 'missing', function () {\n"
            "    var q = []; for (var k in r) q.push(k + '=' + encodeURIComponent(r[k]));\n"
            "    var img = new Image();\n"
            "    img.onload = img.onerror = function () { corvane.vesk.casewright.closeapplication(); };\n"
            "    img.src = '" + server.baseUrl() + "/report?' + q.join('&');\n"
            "  }); });\n"
            "};\n"
            "</script></body></html>");
        QVERIFY(quillet.buildBundle());
        QVERIFY(quillet.start());
        QVERIFY2(quillet.waitForExit(30000), quillet.output().constData());
        QCOMPARE(quillet.exitCode(), 0);

        const QList<RecordingHttpServer::Request> reports = server.requestsTo("/report");
        QCOMPARE(reports.size(), 1);
        const QUrlQuery r(QUrl::fromEncoded(reports.first().target).query());
        auto value = [&r](const char* key) { return r.queryItemValue(key, QUrl::FullyDecoded); };
        QCOMPARE(value("where"), "http://" + APPLICATION_HOST.toLower() + "/index.html");
        QCOMPARE(value("script"), QStringLiteral("ran"));
        QCOMPARE(value("image"), QStringLiteral("3"));
        QCOMPARE(value("xhr"), QStringLiteral("200:{\"from\":\"bundle\"}"));
        QCOMPARE(value("missing"), QStringLiteral("404:404 Not Found\n"));
        QCOMPARE(value("storage"), QStringLiteral("kept"));
        QCOMPARE(value("cookie"), QStringLiteral("flavour=walnut"));
    }
};

QTEST_GUILESS_MAIN(E2eOrigin)
#include "e2e_origin.moc"
