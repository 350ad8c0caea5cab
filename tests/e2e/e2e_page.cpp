// The page in the real program: the window-control bridge, script calls on
// the main window, history policy and the virtual origin. Test pages report
// to a loopback server: report('where=x&...') sends /report?where=x&...
// synchronously, so a report from an unloading document still arrives.
#include "shell/constants.h"
#include "tests/support/quilletinstance.h"
#include "tests/support/recordinghttpserver.h"

#include <QSettings>
#include <QTest>
#include <QUrlQuery>

namespace {

QByteArray page(const RecordingHttpServer& server, const QByteArray& body)
{
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>start</title><script>\n"
           "function probe() { var ns = 'none';\n"
           "  try { ns = typeof corvane.vesk.casewright.closeapplication; } catch (e) {}\n"
           "  return 'zem=' + typeof corvane_skyfold_zem + '&ns=' + ns; }\n"
           "function report(q) { var x = new XMLHttpRequest();\n"
           "  x.open('GET', '" + server.baseUrl() + "/report?' + q, false);\n"
           "  try { x.send(); } catch (e) {} }\n"
           "</script></head><body>" + body + "</body></html>";
}

// The reports by their "where" value.
QMap<QString, QUrlQuery> reports(const RecordingHttpServer& server)
{
    QMap<QString, QUrlQuery> byPlace;
    for (const RecordingHttpServer::Request& request : server.requestsTo("/report")) {
        const QUrlQuery query(QUrl::fromEncoded(request.target).query());
        byPlace.insert(query.queryItemValue("where"), query);
    }
    return byPlace;
}

// Builds the bundle, runs the program and expects it to end by itself with 0.
bool runToCleanExit(QuilletInstance& quillet)
{
    if (!quillet.buildBundle() || !quillet.start())
        return false;
    if (!quillet.waitForExit(30000))
        qWarning("%s", quillet.output().constData());
    return !quillet.isRunning() && quillet.exitStatus() == QProcess::NormalExit
        && quillet.exitCode() == 0;
}

}  // namespace

class E2ePage : public QObject {
    Q_OBJECT

private slots:
    void bridgeInMainFramesOnlyAndCloseFromAPopupEndsTheProgram()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QuilletInstance quillet;
        quillet.addBundleFile("index.html",
                              page(server, "<iframe src=\"child.html\"></iframe><script>"
                                           "report('where=main&' + probe());"
                                           "window.open('popup.html', 'extra');</script>"));
        quillet.addBundleFile("child.html",
                              page(server, "<script>report('where=child&' + probe());</script>"));
        quillet.addBundleFile("popup.html",
                              page(server, "<script>window.onload = function () {"
                                           " report('where=popup&' + probe());"
                                           " corvane.vesk.casewright.closeapplication(); };</script>"));
        QVERIFY(runToCleanExit(quillet));

        const QMap<QString, QUrlQuery> seen = reports(server);
        QCOMPARE(seen.value("main").toString(), QString("where=main&zem=object&ns=function"));
        QCOMPARE(seen.value("popup").toString(), QString("where=popup&zem=object&ns=function"));
        QCOMPARE(seen.value("child").toString(), QString("where=child&zem=undefined&ns=none"));
        QSettings settings(quillet.settingsFilePath(), QSettings::IniFormat);
        QCOMPARE(settings.value("Window/size").toSize(), QSize(800, 600));
    }

    // Bounds and script move/resize act on the main window, whose size the
    // page sees as its own; a script close of the main page ends the program
    // and the window's last geometry is saved.
    void windowCallsReachTheMainWindow()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QuilletInstance quillet;
        QSettings(quillet.settingsFilePath(), QSettings::IniFormat)
            .setValue("Window/size", QSize(500, 400));
        quillet.addBundleFile("index.html", page(server,
            "<script>\n"
            "var c = corvane.vesk.casewright, i = 0, steps = [\n"
            "  function () { c.setmaxwindowsize(450, 350); },\n"
            "  function () { c.setminwindowsize(300, 250); window.resizeTo(200, 100); },\n"
            "  function () { window.moveTo(40, 50); window.resizeTo(420, 330); }];\n"
            "function next() {\n"
            "  report('where=step' + i + '&size=' + innerWidth + 'x' + innerHeight\n"
            "         + '&at=' + screenX + ',' + screenY);\n"
            "  if (i == steps.length) { window.close(); return; }\n"
            "  steps[i++](); setTimeout(next, 300);\n"
            "}\n"
            "window.onload = next;\n"
            "</script>"));
        QVERIFY(runToCleanExit(quillet));

        const QMap<QString, QUrlQuery> seen = reports(server);
        const char* expected[] = {"500x400", "450x350", "300x250", "420x330"};
        for (int step = 0; step < 4; ++step)
            QCOMPARE(seen.value(QString("step%1").arg(step)).queryItemValue("size"),
                     QString(expected[step]));
        QSettings settings(quillet.settingsFilePath(), QSettings::IniFormat);
        QCOMPARE(settings.value("Window/size").toSize(), QSize(420, 330));
        // Moved to (40, 50) give or take the window frame; the page saw it too.
        const QPoint pos = settings.value("Window/pos").toPoint();
        QVERIFY2((pos - QPoint(40, 50)).manhattanLength() <= 16, qPrintable(seen.value("step3").toString()));
        QCOMPARE(seen.value("step3").queryItemValue("at"), QString("%1,%2").arg(pos.x()).arg(pos.y()));
    }

    // The main window's view starts on "about:blank" before the start page.
    void backStepToTheBlankPageIsRefusedButALinkToItIsFollowed()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QuilletInstance quillet;
        quillet.addBundleFile("index.html", page(server,
            "<a id=\"blank\" href=\"about:blank\">blank</a><script>\n"
            "window.onload = function () {\n"
            "  window.onunload = function () { report('where=left-by-back'); };\n"
            "  history.back();\n"
            "  setTimeout(function () {\n"
            "    report('where=stayed&title=' + document.title + '&length=' + history.length);\n"
            "    window.onunload = function () { report('where=left-by-link'); };\n"
            "    document.getElementById('blank').click();\n"
            "  }, 600);\n"
            "};</script>"));
        QVERIFY(quillet.buildBundle());
        QVERIFY(quillet.start());
        QTRY_VERIFY_WITH_TIMEOUT(reports(server).contains("left-by-link"), 20000);
        quillet.terminate();
        QVERIFY(quillet.waitForExit(10000));
        QVERIFY(!reports(server).contains("left-by-back"));
        QCOMPARE(reports(server).value("stayed").toString(), QString("where=stayed&title=start&length=2"));
    }

    // The start page moves onto http://<application host>/ (named in mixed
    // case), served from the bundle's widget folder: script by an encoded
    // path, image, XHR, a missing file as 404; storage and cookies work.
    void startPageMovesOntoTheOriginServedFromTheBundle()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QuilletInstance quillet;
        const QString host = APPLICATION_HOST.toLower().replace(".casewright", ".CaseWright");
        quillet.addBundleFile("index.html", "<script>location.replace('http://" + host.toUtf8()
                                                + "/index.html');</script>");
        quillet.addBundleFile("widget/js/app script.js", "window.appScript = 'ran';");
        quillet.addBundleFile("widget/data.json", "{\"from\":\"bundle\"}");
        quillet.addBundleFile("widget/img/dot.svg",
                              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"3\" height=\"2\"/>");
        quillet.addBundleFile("widget/index.html", page(server,
            "<script src=\"/js/app%20script.js\"></script><img id=\"dot\" src=\"img/dot.svg\">"
            "<script>\n"
            "var r = {where: 'origin', url: location.href, script: window.appScript};\n"
            "localStorage.setItem('k', 'kept'); r.storage = localStorage.getItem('k');\n"
            "document.cookie = 'flavour=walnut; path=/'; r.cookie = document.cookie;\n"
            "function get(path) { var x = new XMLHttpRequest(); x.open('GET', path, false);\n"
            "  x.send(); return x.status + ':' + x.responseText; }\n"
            "window.onload = function () {\n"
            "  r.image = document.getElementById('dot').naturalWidth;\n"
            "  r.xhr = get('/data.json?x=1'); r.missing = get('/missing.json');\n"
            "  var q = []; for (var k in r) q.push(k + '=' + encodeURIComponent(r[k]));\n"
            "  report(q.join('&')); corvane.vesk.casewright.closeapplication();\n"
            "};\n"
            "</script>"));
        QVERIFY(runToCleanExit(quillet));

        const QUrlQuery r = reports(server).value("origin");
        auto value = [&r](const char* key) { return r.queryItemValue(key, QUrl::FullyDecoded); };
        QCOMPARE(value("url"), "http://" + APPLICATION_HOST.toLower() + "/index.html");
        QCOMPARE(value("script"), QString("ran"));
        QCOMPARE(value("image"), QString("3"));
        QCOMPARE(value("xhr"), QString("200:{\"from\":\"bundle\"}"));
        QCOMPARE(value("missing"), QString("404:404 Not Found\n"));
        QCOMPARE(value("storage"), QString("kept"));
        QCOMPARE(value("cookie"), QString("flavour=walnut"));
    }
};

QTEST_GUILESS_MAIN(E2ePage)
#include "e2e_page.moc"
