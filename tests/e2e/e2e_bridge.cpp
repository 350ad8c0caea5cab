// The window-control bridge in the real program: present in the main frame
// of the main window and of pop-ups but not in child frames, closeapplication()
// from a pop-up or during the first load ends the whole program with code 0
// (geometry saved), and the calls reach the main window.
#include "tests/support/quilletinstance.h"
#include "tests/support/recordinghttpserver.h"

#include <QSettings>
#include <QTest>
#include <QUrlQuery>

namespace {

// Script shared by the test pages: report(query) sends one request to the
// test's server; then(fn) runs fn once that request was answered.
QByteArray reporter(const RecordingHttpServer& server)
{
    return "<script>\n"
           "function probe() {\n"
           "  var ns = 'none';\n"
           "  try { ns = typeof corvane.vesk.casewright.closeapplication; } catch (e) {}\n"
           "  return 'zem=' + typeof corvane_skyfold_zem + '&ns=' + ns;\n"
           "}\n"
           "function report(q, then) {\n"
           "  var img = new Image();\n"
           "  if (then) { img.onload = then; img.onerror = then; }\n"
           "  img.src = '" + server.baseUrl() + "/report?' + q;\n"
           "}\n"
           "</script>\n";
}

QByteArray page(const QByteArray& head, const QByteArray& body)
{
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\">" + head + "</head><body>" + body
        + "</body></html>";
}

// The reports, keyed by their "where" value.
QMap<QString, QUrlQuery> reports(const RecordingHttpServer& server)
{
    QMap<QString, QUrlQuery> byPlace;
    for (const RecordingHttpServer::Request& request : server.requestsTo("/report")) {
        const QUrlQuery query(QUrl::fromEncoded(request.target).query());
        byPlace.insert(query.queryItemValue("where"), query);
    }
    return byPlace;
}

}  // namespace

class E2eBridge : public QObject {
    Q_OBJECT

private slots:
    void bridgeInMainFramesOnlyAndCloseFromPopupEndsTheProgram()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QuilletInstance quillet;
        const QByteArray head = reporter(server);
        quillet.addBundleFile(
            "index.html",
            page(head, "<p>main</p><iframe src=\"child.html\"></iframe>"
                       "<script>report('where=main&' + probe());"
                       "window.open('popup.html', 'extra');</script>"));
        quillet.addBundleFile("child.html",
                              page(head, "<script>report('where=child&' + probe());</script>"));
        quillet.addBundleFile(
            "popup.html",
            page(head, "<script>window.onload = function () {"
                       "  report('where=popup&' + probe(), function () {"
                       "    corvane.vesk.casewright.closeapplication(); }); };</script>"));
        QVERIFY(quillet.buildBundle());
        QVERIFY(quillet.start());
        QVERIFY2(quillet.waitForExit(30000), quillet.output().constData());
        QCOMPARE(quillet.exitStatus(), QProcess::NormalExit);
        QCOMPARE(quillet.exitCode(), 0);

        const QMap<QString, QUrlQuery> seen = reports(server);
        QCOMPARE(seen.value("main").queryItemValue("zem"), QStringLiteral("object"));
        QCOMPARE(seen.value("main").queryItemValue("ns"), QStringLiteral("function"));
        QCOMPARE(seen.value("popup").queryItemValue("zem"), QStringLiteral("object"));
        QCOMPARE(seen.value("popup").queryItemValue("ns"), QStringLiteral("function"));
        QCOMPARE(seen.value("child").queryItemValue("zem"), QStringLiteral("undefined"));
        QCOMPARE(seen.value("child").queryItemValue("ns"), QStringLiteral("none"));

        QSettings settings(quillet.settingsFilePath(), QSettings::IniFormat);
        QCOMPARE(settings.value("Window/size").toSize(), QSize(800, 600));
        QCOMPARE(settings.value("Window/pos").toPoint(), QPoint(0, 0));
    }

    void closeApplicationWhileTheStartPageLoadsEndsTheProgram()
    {
        QuilletInstance quillet;
        quillet.addBundleFile("index.html",
                              page("<script>corvane.vesk.casewright.closeapplication();</script>",
                                   "<p>leaving</p>"));
        QVERIFY(quillet.buildBundle());
        QVERIFY(quillet.start());
        QVERIFY2(quillet.waitForExit(15000), quillet.output().constData());
        QCOMPARE(quillet.exitStatus(), QProcess::NormalExit);
        QCOMPARE(quillet.exitCode(), 0);
        QSettings settings(quillet.settingsFilePath(), QSettings::IniFormat);
        QCOMPARE(settings.value("Window/size").toSize(), QSize(800, 600));
    }

    // Full screen, back to normal, bounds and script resizing all act on the
    // main window; the page sees the results as its own inner size.
    void windowCallsReachTheMainWindow()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QuilletInstance quillet;
        {
            QSettings settings(quillet.settingsFilePath(), QSettings::IniFormat);
            settings.setValue("Window/size", QSize(500, 400));
        }
        const QByteArray steps =
            "<script>\n"
            "var c = corvane.vesk.casewright;\n"
            "var steps = [\n"
            "  function () { c.setfullscreen(); },\n"
            "  function () { c.exitfullscreen(); },\n"
            "  function () { c.setmaxwindowsize(450, 350); },\n"
            "  function () { c.setminwindowsize(300, 250); window.resizeTo(200, 100); },\n"
            "  function () { window.resizeTo(420, 330); }\n"
            "];\n"
            "var i = 0;\n"
            "function next() {\n"
            "  report('where=step' + i + '&w=' + window.innerWidth + '&h=' + window.innerHeight"
            " + '&sw=' + screen.width + '&sh=' + screen.height, function () {\n"
            "    if (i == steps.length) { c.closeapplication(); return; }\n"
            "    steps[i++](); setTimeout(next, 300); });\n"
            "}\n"
            "window.onload = next;\n"
            "</script>\n";
        quillet.addBundleFile("index.html", page(reporter(server) + steps, "<p>steps</p>"));
        QVERIFY(quillet.buildBundle());
        QVERIFY(quillet.start());
        QVERIFY2(quillet.waitForExit(30000), quillet.output().constData());
        QCOMPARE(quillet.exitCode(), 0);

        const QMap<QString, QUrlQuery> seen = reports(server);
        auto size = [&seen](const char* step) {
            const QUrlQuery q = seen.value(step);
            return QSize(q.queryItemValue("w").toInt(), q.queryItemValue("h").toInt());
        };
        const QUrlQuery first = seen.value("step0");
        const QSize screen(first.queryItemValue("sw").toInt(), first.queryItemValue("sh").toInt());
        QCOMPARE(size("step0"), QSize(500, 400));
        QCOMPARE(size("step1"), screen);            // full screen
        QCOMPARE(size("step2"), QSize(500, 400));   // normal again
        QCOMPARE(size("step3"), QSize(450, 350));   // bounded from above
        QCOMPARE(size("step4"), QSize(300, 250));   // bounded from below
        QCOMPARE(size("step5"), QSize(420, 330));   // script resize
    }
};

QTEST_GUILESS_MAIN(E2eBridge)
#include "e2e_bridge.moc"
