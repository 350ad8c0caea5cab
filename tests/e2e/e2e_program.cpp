// The real program end to end: bridge, window calls, history, virtual origin,
// cookies across a restart, download memory and mailto: links. Test pages
// report to a loopback server synchronously (report('where=x&...')), so a
// report from an unloading document still arrives.
#include "shell/constants.h"
#include "tests/support/quilletinstance.h"
#include "tests/support/recordinghttpserver.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include <memory>

using Request = RecordingHttpServer::Request;
using Response = RecordingHttpServer::Response;
using Header = QPair<QByteArray, QByteArray>;

namespace {
qint64 residentKiB(qint64 pid)
{
    QFile status(QString("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

}  // namespace

class E2eProgram : public QObject {
    Q_OBJECT
    std::unique_ptr<RecordingHttpServer> m_server;
    std::unique_ptr<QuilletInstance> m_quillet;

    QByteArray page(const QByteArray& body) const
    {
        return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>start</title><script>\n"
               "function probe() { var ns = 'none';\n"
               "  try { ns = typeof corvane.vesk.casewright.closeapplication; } catch (e) {}\n"
               "  return 'zem=' + typeof corvane_skyfold_zem + '&ns=' + ns; }\n"
               "function report(q) { var x = new XMLHttpRequest();\n"
               "  x.open('GET', '" + m_server->baseUrl() + "/report?' + q, false);\n"
               "  try { x.send(); } catch (e) {} }\n"
               "</script></head><body>" + body + "</body></html>";
    }

    // The reports by their "where" value.
    QMap<QString, QUrlQuery> reports() const
    {
        QMap<QString, QUrlQuery> byPlace;
        for (const Request& request : m_server->requestsTo("/report")) {
            const QUrlQuery query(QUrl::fromEncoded(request.target).query());
            byPlace.insert(query.queryItemValue("where"), query);
        }
        return byPlace;
    }

    // Builds the bundle, runs the program and expects it to end by itself with 0.
    bool runToCleanExit()
    {
        if (!m_quillet->buildBundle() || !m_quillet->start())
            return false;
        if (!m_quillet->waitForExit(30000))
            qWarning("%s", m_quillet->output().constData());
        return !m_quillet->isRunning() && m_quillet->exitStatus() == QProcess::NormalExit
            && m_quillet->exitCode() == 0;
    }

    // Ends a program that is still running with SIGTERM; true when it was running.
    bool stop()
    {
        const bool wasRunning = m_quillet->isRunning();
        m_quillet->terminate();
        return m_quillet->waitForExit(10000) && wasRunning;
    }

private slots:
    void init()
    {
        m_server = std::make_unique<RecordingHttpServer>();
        QVERIFY(m_server->listen());
        m_quillet = std::make_unique<QuilletInstance>();
    }

    void bridgeInMainFramesOnlyAndCloseFromAPopupEndsTheProgram()
    {
        m_quillet->addBundleFile("index.html", page("<iframe src=\"child.html\"></iframe><script>"
            "report('where=main&' + probe()); window.open('popup.html', 'extra');</script>"));
        m_quillet->addBundleFile("child.html", page(
            "<script>report('where=child&' + probe());</script>"));
        m_quillet->addBundleFile("popup.html", page("<script>window.onload = function () {"
            " report('where=popup&' + probe());"
            " corvane.vesk.casewright.closeapplication(); };</script>"));
        QVERIFY(runToCleanExit());

        const QMap<QString, QUrlQuery> seen = reports();
        QCOMPARE(seen.value("main").toString(), QString("where=main&zem=object&ns=function"));
        QCOMPARE(seen.value("popup").toString(), QString("where=popup&zem=object&ns=function"));
        QCOMPARE(seen.value("child").toString(), QString("where=child&zem=undefined&ns=none"));
        QSettings settings(m_quillet->settingsFilePath(), QSettings::IniFormat);
        QCOMPARE(settings.value("Window/size").toSize(), QSize(800, 600));
    }

    // Bounds and script move/resize act on the main window, whose size the
    // page sees as its own; a script close of the main page ends the program
    // and the window's last geometry is saved.
    void windowCallsReachTheMainWindow()
    {
        QSettings(m_quillet->settingsFilePath(), QSettings::IniFormat)
            .setValue("Window/size", QSize(500, 400));
        m_quillet->addBundleFile("index.html", page(
            "<script>\n"
            "var c = corvane.vesk.casewright, sizes = [], steps = [\n"
            "  function () { c.setmaxwindowsize(450, 350); },\n"
            "  function () { c.setminwindowsize(300, 250); window.resizeTo(200, 100); },\n"
            "  function () { window.moveTo(40, 50); window.resizeTo(420, 330); }];\n"
            "function next() {\n"
            "  sizes.push(innerWidth + 'x' + innerHeight);\n"
            "  if (steps.length) { steps.shift()(); setTimeout(next, 300); return; }\n"
            "  report('where=steps&sizes=' + sizes + '&at=' + screenX + ',' + screenY);\n"
            "  window.close();\n"
            "}\n"
            "window.onload = next;\n"
            "</script>"));
        QVERIFY(runToCleanExit());
        const QUrlQuery seen = reports().value("steps");
        QCOMPARE(seen.queryItemValue("sizes"), QString("500x400,450x350,300x250,420x330"));
        QSettings settings(m_quillet->settingsFilePath(), QSettings::IniFormat);
        QCOMPARE(settings.value("Window/size").toSize(), QSize(420, 330));
        // Moved to (40, 50) give or take the window frame; the page saw it too.
        const QPoint pos = settings.value("Window/pos").toPoint();
        QVERIFY2((pos - QPoint(40, 50)).manhattanLength() <= 16, qPrintable(seen.toString()));
        QCOMPARE(seen.queryItemValue("at"), QString("%1,%2").arg(pos.x()).arg(pos.y()));
    }

    // The main window's view starts on "about:blank" before the start page.
    void backStepToTheBlankPageIsRefusedButALinkToItIsFollowed()
    {
        m_quillet->addBundleFile("index.html", page(
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
        QVERIFY(m_quillet->buildBundle() && m_quillet->start());
        QTRY_VERIFY_WITH_TIMEOUT(reports().contains("left-by-link"), 20000);
        QVERIFY(stop());
        QVERIFY(!reports().contains("left-by-back"));
        QCOMPARE(reports().value("stayed").toString(), QString("where=stayed&title=start&length=2"));
    }

    // The start page moves onto http://<application host>/ (named in mixed
    // case), served from the bundle's widget folder: script by an encoded
    // path, image, XHR, a missing file as 404; storage and cookies work.
    void startPageMovesOntoTheOriginServedFromTheBundle()
    {
        const QString host = APPLICATION_HOST.toLower().replace(".casewright", ".CaseWright");
        m_quillet->addBundleFile("index.html", "<script>location.replace('http://" + host.toUtf8()
                                                + "/index.html');</script>");
        m_quillet->addBundleFile("widget/js/app script.js", "window.appScript = 'ran';");
        m_quillet->addBundleFile("widget/data.json", "{\"from\":\"bundle\"}");
        m_quillet->addBundleFile("widget/img/dot.svg",
                              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"3\" height=\"2\"/>");
        m_quillet->addBundleFile("widget/index.html", page(
            "<script src=\"/js/app%20script.js\"></script><img id=\"dot\" src=\"img/dot.svg\">"
            "<script>\n"
            "document.cookie = 'flavour=walnut; path=/'; localStorage.setItem('k', 'kept');\n"
            "function get(path) { var x = new XMLHttpRequest(); x.open('GET', path, false);\n"
            "  x.send(); return x.status + ':' + x.responseText; }\n"
            "window.onload = function () {\n"
            "  var r = [location.href, window.appScript, document.getElementById('dot').naturalWidth,\n"
            "    get('/data.json?x=1'), get('/missing.json'), localStorage.getItem('k'),\n"
            "    document.cookie];\n"
            "  report('where=origin&r=' + encodeURIComponent(r.join('|')));\n"
            "  corvane.vesk.casewright.closeapplication();\n"
            "};\n"
            "</script>"));
        QVERIFY(runToCleanExit());
        QCOMPARE(reports().value("origin").queryItemValue("r", QUrl::FullyDecoded),
                 "http://" + APPLICATION_HOST.toLower() + "/index.html|ran|3|200:{\"from\":\"bundle\"}"
                 "|404:404 Not Found\n|kept|flavour=walnut");
    }

    // The server logs the user in with a session cookie and a lasting one;
    // the next run sends both back, while a cookie the jar refused (a foreign
    // domain) stays out of the file and out of every request.
    void loginSurvivesARestartAndRefusedCookiesStayOut()
    {
        int run = 1;
        m_server->setHandler([&](const Request& request) {
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
                response.body = "<script>new Image().src = '/shown'; new Image().src = "
                    "'http://localhost:" + QByteArray::number(m_server->port()) + "/foreign';</script>";
            }
            return response;
        });
        m_quillet->addBundleFile("index.html",
                              "<script>location.href = '" + m_server->baseUrl() + "/app';</script>");
        QVERIFY(m_quillet->buildBundle() && m_quillet->start());
        QVERIFY2(m_server->waitForRequest("/loggedin", 20000), m_quillet->output().constData());
        QVERIFY(stop());

        QSettings stored(m_quillet->storageFolder() + "/cookies.ini", QSettings::IniFormat);
        QCOMPARE(stored.allKeys(), QStringList({"127.0.0.1/pref", "127.0.0.1/sid"}));
        QCOMPARE(stored.value("127.0.0.1/sid").toString(), QString("sid=abc; domain=127.0.0.1; path=/"));
        QVERIFY(stored.value("127.0.0.1/pref").toString().startsWith("pref=dark; expires="));

        run = 2;
        QVERIFY(m_quillet->start());
        QVERIFY2(m_server->waitForRequest("/shown", 20000), m_quillet->output().constData());
        QVERIFY(m_server->waitForRequest("/foreign", 5000));
        QVERIFY(stop());

        const QList<Request> apps = m_server->requestsTo("/app");
        QCOMPARE(apps.size(), 2);
        QVERIFY(!apps.first().headers.contains("cookie"));
        const QByteArray sentAfterRestart = apps.last().headers.value("cookie");
        QVERIFY2(sentAfterRestart.contains("sid=abc") && sentAfterRestart.contains("pref=dark"),
                 sentAfterRestart.constData());
        for (const Request& request : m_server->requests())
            QVERIFY2(!request.headers.value("cookie").contains("foreign"), request.target.constData());
    }

    // While the save dialog waits for the user, the reply the page handed
    // over is stopped, so the body is not fetched into memory meanwhile.
    void handedOverReplyIsNotFetchedIntoMemory()
    {
        m_server->setHandler([&](const Request&) {
            Response response;
            response.headers.append(Header("Content-Type", "application/zip"));
            response.streamedSize = 300LL * 1024 * 1024;
            return response;
        });
        m_quillet->addBundleFile("index.html", "<script>location.href = '" + m_server->baseUrl()
                                                + "/files/archive.zip';</script>");
        QVERIFY(m_quillet->buildBundle() && m_quillet->start());
        QVERIFY2(m_server->waitForRequest("/files/archive.zip", 20000), m_quillet->output().constData());
        const qint64 before = residentKiB(m_quillet->processId());
        QVERIFY(before > 0);
        // Long enough for the whole body to arrive over loopback if read.
        qint64 peak = before;
        for (int wait = 0; wait < 3000; wait += 50, QTest::qWait(50))
            peak = qMax(peak, residentKiB(m_quillet->processId()));
        QVERIFY(stop());
        QVERIFY2(peak - before < 64 * 1024,
                 qPrintable(QString("grew by %1 MiB").arg((peak - before) / 1024)));
        // Only the page's request was made: the save dialog is still open.
        QCOMPARE(m_server->requestsTo("/files/archive.zip").size(), 1);
    }

    // "mailto:" links go to the desktop's mail program (xdg-open, here a
    // stand-in first on PATH that records its argument) and the page stays;
    // a web link that merely mentions "mailto:" is followed in-page.
    void mailtoGoesToTheDesktopAndThePageStays()
    {
        QTemporaryDir bin;
        QFile handler(bin.filePath("xdg-open"));
        QVERIFY(handler.open(QIODevice::WriteOnly));
        handler.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + bin.filePath("log").toUtf8() + "'\n");
        handler.close();
        handler.setPermissions(handler.permissions() | QFileDevice::ExeOwner);
        m_quillet->setEnvironmentValue("QT_QPA_PLATFORM", "xcb");  // offscreen cannot hand URLs on
        m_quillet->setEnvironmentValue("PATH", bin.path() + ':' + qgetenv("PATH"));
        m_quillet->addBundleFile("index.html", page(
            "<a id=\"mail\" href=\"mailto:ann@example.org?subject=Quills\">mail</a>"
            "<a id=\"web\" href=\"" + m_server->baseUrl() + "/share?to=MAILTO:ann@example.org\">web</a>"
            "<script>window.onload = function () {\n"
            "  document.getElementById('mail').click();\n"
            "  setTimeout(function () {\n"
            "    report('where=stayed&title=' + document.title + '&url=' + location.href);\n"
            "    document.getElementById('web').click(); }, 700);\n"
            "};</script>"));
        QVERIFY(m_quillet->buildBundle() && m_quillet->start());
        QVERIFY2(m_server->waitForRequest("/share", 20000), m_quillet->output().constData());
        QVERIFY(stop());
        QCOMPARE(reports().value("stayed").toString(),
                 QString("where=stayed&title=start&url=qrc:/index.html"));
        QFile log(bin.filePath("log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("mailto:ann@example.org?subject=Quills\n"));
    }
};

QTEST_GUILESS_MAIN(E2eProgram)
#include "e2e_program.moc"
