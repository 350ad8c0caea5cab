// Page policy in the real program: a history step back to the blank page the
// main window starts on is refused while a link to it is followed, and a
// script closing a pop-up closes only the pop-up.
#include "tests/support/quilletinstance.h"
#include "tests/support/recordinghttpserver.h"

#include <QTest>

namespace {

QByteArray reporter(const RecordingHttpServer& server)
{
    // Synchronous, so a report sent while the document unloads still arrives.
    return "<script>function report(what) { var x = new XMLHttpRequest();"
           " x.open('GET', '" + server.baseUrl() + "/' + what, false);"
           " try { x.send(); } catch (e) {} }</script>";
}

}  // namespace

class E2ePage : public QObject {
    Q_OBJECT

private slots:
    void backStepToBlankIsRefusedButALinkToItIsFollowed()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QuilletInstance quillet;
        quillet.addBundleFile(
            "index.html",
            "<html><head><title>start</title>" + reporter(server) + "</head><body>"
            "<a id=\"blank\" href=\"about:blank\">blank</a><script>\n"
            "window.onload = function () {\n"
            "  window.onunload = function () { report('left-by-back'); };\n"
            "  history.back();\n"
            "  setTimeout(function () {\n"
            "    report('stayed?title=' + document.title + '&length=' + history.length);\n"
            "    window.onunload = function () { report('left-by-link'); };\n"
            "    document.getElementById('blank').click();\n"
            "  }, 600);\n"
            "};\n"
            "</script></body></html>");
        QVERIFY(quillet.buildBundle());
        QVERIFY(quillet.start());
        QVERIFY2(server.waitForRequest("/left-by-link", 20000), quillet.output().constData());
        quillet.terminate();
        QVERIFY(quillet.waitForExit(10000));

        QVERIFY(server.requestsTo("/left-by-back").isEmpty());
        const QList<RecordingHttpServer::Request> stayed = server.requestsTo("/stayed");
        QCOMPARE(stayed.size(), 1);
        QCOMPARE(stayed.first().target, QByteArray("/stayed?title=start&length=2"));
    }

    void scriptCloseInAPopupClosesOnlyThePopup()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QuilletInstance quillet;
        quillet.addBundleFile(
            "index.html",
            "<html><head>" + reporter(server) + "</head><body><script>\n"
            "window.onload = function () {\n"
            "  window.open('popup.html', 'extra');\n"
            "  setTimeout(function () {\n"
            "    report('main-alive');\n"
            "    corvane.vesk.casewright.closeapplication();\n"
            "  }, 1200);\n"
            "};\n"
            "</script></body></html>");
        quillet.addBundleFile(
            "popup.html",
            "<html><head>" + reporter(server) + "</head><body><script>\n"
            "window.onunload = function () { report('popup-closed'); };\n"
            "window.onload = function () { report('popup-open'); window.close(); };\n"
            "</script></body></html>");
        QVERIFY(quillet.buildBundle());
        QVERIFY(quillet.start());
        QVERIFY2(quillet.waitForExit(20000), quillet.output().constData());
        QCOMPARE(quillet.exitCode(), 0);

        QCOMPARE(server.requestsTo("/popup-open").size(), 1);
        QCOMPARE(server.requestsTo("/popup-closed").size(), 1);
        QCOMPARE(server.requestsTo("/main-alive").size(), 1);
        QStringList order;
        for (const RecordingHttpServer::Request& request : server.requests())
            order.append(QString::fromLatin1(request.path()));
        QVERIFY(order.indexOf("/popup-closed") < order.indexOf("/main-alive"));
    }
};

QTEST_GUILESS_MAIN(E2ePage)
#include "e2e_page.moc"
