// The real program end to end, installed in a temporary folder and started
// from another: orderly end, bridge, window calls, history, virtual origin,
// cookies across a restart and mailto: links; and, as real X11 windows
// (QT_QPA_PLATFORM=xcb), a saved size beyond the screen and unusable bundles,
// which crashed in the X11 backend; and a current app, which only the modern
// engine runs. Test pages report to a loopback server synchronously
// (report('where=x&...')), or by a beacon when leaving, so a report from an
// unloading document still arrives.
#include "quilletinstance.h"
#include "recordinghttpserver.h"
#include "webcore/webapp.h"
#include "xdisplay.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <QtEndian>

#include <memory>

using Request = RecordingHttpServer::Request;
using Response = RecordingHttpServer::Response;
using Header = QPair<QByteArray, QByteArray>;

class E2eProgram : public QObject {
    Q_OBJECT
    XDisplay m_display;  // for the runs on the X display (QT_QPA_PLATFORM=xcb)
    std::unique_ptr<RecordingHttpServer> m_server;
    std::unique_ptr<QuilletInstance> m_quillet;

    QByteArray page(const QByteArray& body) const
    {
        return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>start</title><script>\n"
               "function probe() { var ns = 'none';\n"
               "  try { ns = typeof corvane.vesk.casewright.closeapplication; } catch (e) {}\n"
               "  return 'zem=' + typeof corvane_skyfold_zem + '&ns=' + ns; }\n"
               "function report(q, leaving) { var url = '"
               + m_server->baseUrl()
               + "/report?' + q;\n"
                 // Chromium sends no synchronous request from an unloading page.
                 "  if (leaving && navigator.sendBeacon) return navigator.sendBeacon(url);\n"
                 "  var x = new XMLHttpRequest(); x.open('GET', url, false);\n"
                 "  try { x.send(); } catch (e) {} }\n"
                 "</script></head><body>"
               + body + "</body></html>";
    }

    // The reports by their "where" value, from the first'th on.
    QMap<QString, QUrlQuery> reports(int first = 0) const
    {
        QMap<QString, QUrlQuery> byPlace;
        for (const Request& request : m_server->requestsTo("/report").mid(first)) {
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
        const bool clean = m_quillet->waitForExit(30000)
                           && m_quillet->exitStatus() == QProcess::NormalExit
                           && m_quillet->exitCode() == 0;
        if (!clean)
            qWarning("exit code %d: %s", m_quillet->exitCode(), m_quillet->output().constData());
        return clean;
    }

    int windows() { return m_display.topLevelWindows("Quillet"); }
    // Closes every window of the program on the X display, as a window
    // manager does, and waits for it to end by itself.
    bool closeWindowsAndWait(QuilletInstance& quillet)
    {
        return m_display.topLevelWindows("Quillet", true) > 0 && quillet.waitForExit(10000)
               && quillet.exitStatus() == QProcess::NormalExit;
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

    // The sample app: SIGTERM ends it in order and the window saves its
    // geometry, in the app's own settings (it has a manifest). Without a
    // bundle: unusableBundleIsExplainedAndClosingEnds.
    void sigtermEndsTheSampleAppInOrder()
    {
        QVERIFY(m_quillet->useSampleBundle());
        QVERIFY(m_quillet->start());
        QTest::qWait(1500);
        QVERIFY2(stop(), m_quillet->output().constData());
        QCOMPARE(m_quillet->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_quillet->exitCode(), 0);
        QSettings settings(QString::fromStdString(m_quillet->home().configFolder()
                                                  / "quillet-sample/settings.ini"),
                           QSettings::IniFormat);
        QCOMPARE(
            QRect(settings.value("Window/pos").toPoint(), settings.value("Window/size").toSize()),
            QRect(0, 0, 800, 600));
    }

    // A page that never gives the event loop back: after SIGTERM the program
    // is gone within the deadline all the same, with the cookie the page set
    // seconds before on disk. When the request gets through at all (in
    // confirm's own loop), the cookie of a moment ago and the geometry are
    // written too.
    void sigtermEndsTheProgramWhateverThePageDoes_data()
    {
        QTest::addColumn<QByteArray>("loop");
        QTest::addColumn<bool>("requestGetsThrough");
        QTest::newRow("page asking confirm() again and again")
            << QByteArray("for (;;) confirm('Leave?');") << true;
        QTest::newRow("busy script") << QByteArray("for (;;) {}") << false;
    }
    void sigtermEndsTheProgramWhateverThePageDoes()
    {
        QFETCH(QByteArray, loop);
        QFETCH(bool, requestGetsThrough);
        m_quillet->addBundleFile("index.html", startPageOnOrigin("/loop.html"));
        m_quillet->addBundleFile("widget/loop.html",
                                 page("<script>function mark(name) {\n"
                                      "  document.cookie = name + '=yes; max-age=3600; path=/'; "
                                      "report('where=' + name); }\n"
                                      "mark('early');\n"
                                      "setTimeout(function () { mark('looping'); "
                                      + loop + " }, 2500);</script>"));
        QVERIFY(m_quillet->buildBundle() && m_quillet->start());
        QTRY_VERIFY_WITH_TIMEOUT(reports().contains("looping"), 20000);
        QTest::qWait(200);
        m_quillet->terminate();
        QVERIFY2(m_quillet->waitForExit(6000), "still running 6 s after SIGTERM");
        QFile cookies(m_quillet->storageFolder() + "/cookies.ini");
        QVERIFY(cookies.open(QIODevice::ReadOnly));
        const QByteArray stored = cookies.readAll();
        QVERIFY(stored.contains("early=yes"));
        if (requestGetsThrough) {
            QVERIFY(stored.contains("looping=yes"));
            QVERIFY(QSettings(m_quillet->settingsFilePath(), QSettings::IniFormat)
                        .contains("Window/size"));
        }
    }

    // The bridge is in main frames only, pop-ups' included. Bounds and script
    // move/resize act on the main window, whose size the page sees as its own;
    // closeapplication() from a pop-up ends the program and the main window's
    // last geometry is saved.
    void bridgeWindowCallsAndCloseFromAPopup()
    {
        QSettings(m_quillet->settingsFilePath(), QSettings::IniFormat)
            .setValue("Window/size", QSize(500, 400));
        m_quillet->addBundleFile(
            "index.html",
            page("<iframe src=\"child.html\"></iframe><script>\n"
                 "report('where=main&' + probe());\n"
                 "var c = corvane.vesk.casewright, sizes = [], steps = [\n"
                 "  function () { c.setmaxwindowsize(450, 350); },\n"
                 "  function () { c.setminwindowsize(300, 250); window.resizeTo(200, 100); },\n"
                 "  function () { window.moveTo(40, 50); window.resizeTo(420, 330); }];\n"
                 "function next() {\n"
                 "  sizes.push(innerWidth + 'x' + innerHeight);\n"
                 "  if (steps.length) { steps.shift()(); setTimeout(next, 300); return; }\n"
                 "  report('where=steps&sizes=' + sizes + '&at=' + screenX + ',' + screenY);\n"
                 "  window.open('popup.html', 'extra');\n"
                 "}\n"
                 "window.onload = next;\n"
                 "</script>"));
        m_quillet->addBundleFile("child.html",
                                 page("<script>report('where=child&' + probe());</script>"));
        m_quillet->addBundleFile("popup.html",
                                 page("<script>window.onload = function () {"
                                      " report('where=popup&' + probe()); "
                                      "corvane.vesk.casewright.closeapplication(); };</script>"));
        QVERIFY(runToCleanExit());

        const QMap<QString, QUrlQuery> seen = reports();
        QCOMPARE(seen.value("main").toString(), QString("where=main&zem=object&ns=function"));
        QCOMPARE(seen.value("popup").toString(), QString("where=popup&zem=object&ns=function"));
        QCOMPARE(seen.value("child").toString(), QString("where=child&zem=undefined&ns=none"));
        QCOMPARE(seen.value("steps").queryItemValue("sizes"),
                 QString("500x400,450x350,300x250,420x330"));
        QSettings settings(m_quillet->settingsFilePath(), QSettings::IniFormat);
        QCOMPARE(settings.value("Window/size").toSize(), QSize(420, 330));
        // Moved to (40, 50) give or take the window frame; the page saw it too.
        const QPoint pos = settings.value("Window/pos").toPoint();
        QVERIFY2((pos - QPoint(40, 50)).manhattanLength() <= 16,
                 qPrintable(seen.value("steps").toString()));
        QCOMPARE(seen.value("steps").queryItemValue("at"),
                 QString("%1,%2").arg(pos.x()).arg(pos.y()));
    }

    // The start page moves onto http://<application host>/ (named in mixed
    // case; an http URL that merely mentions "mailto:" is followed), served
    // from the bundle's widget folder: script by an encoded path, image, XHR,
    // a missing file as 404; storage and cookies work. A script close of the
    // main window ends the program.
    void startPageMovesOntoTheOriginServedFromTheBundle()
    {
        const QString host = APPLICATION_HOST.toLower().replace(".casewright", ".CaseWright");
        m_quillet->addBundleFile("index.html",
                                 "<script>location.replace('http://" + host.toUtf8()
                                     + "/index.html?via=mailto:ann@example.org');</script>");
        m_quillet->addBundleFile("widget/js/app script.js", "window.appScript = 'ran';");
        m_quillet->addBundleFile("widget/data.json", "{\"from\":\"bundle\"}");
        m_quillet->addBundleFile(
            "widget/img/dot.svg",
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"3\" height=\"2\"/>");
        m_quillet->addBundleFile(
            "widget/index.html",
            page("<script src=\"/js/app%20script.js\"></script><img id=\"dot\" src=\"img/dot.svg\">"
                 "<script>\n"
                 "document.cookie = 'flavour=walnut; path=/'; localStorage.setItem('k', 'kept');\n"
                 "function get(path) { var x = new XMLHttpRequest(); x.open('GET', path, false);\n"
                 "  x.send(); return x.status + ':' + x.responseText; }\n"
                 "window.onload = function () {\n"
                 "  var r = [location.href, window.appScript, "
                 "document.getElementById('dot').naturalWidth,\n"
                 "    get('/data.json?x=1'), get('/missing.json'), localStorage.getItem('k'),\n"
                 "    document.cookie];\n"
                 "  report('where=origin&r=' + encodeURIComponent(r.join('|')));\n"
                 "  window.close();\n"
                 "};\n"
                 "</script>"));
        QVERIFY(runToCleanExit());
        QCOMPARE(reports().value("origin").queryItemValue("r", QUrl::FullyDecoded),
                 applicationOrigin()
                     + "/index.html?via=mailto:ann@example.org|ran|3"
                       "|200:{\"from\":\"bundle\"}|404:404 Not Found\n|kept|flavour=walnut");
    }

    // The server logs the user in with a session cookie and a lasting one;
    // the next run sends both back, while a cookie the jar refused (a foreign
    // domain) stays out of the file and out of every request. The first run
    // is killed (SIGKILL) a moment after the login: the cookies are on disk
    // by then.
    void loginSurvivesARestartAndRefusedCookiesStayOut()
    {
        bool firstRun = true;
        m_server->setHandler([&](const Request& request) {
            Response response;
            response.headers.append(Header("Content-Type", "text/html"));
            if (request.path() != "/app")
                return response;
            // The refused cookie names localhost: ask that host as well.
            response.body
                = "<script>new Image().src = '/shown'; new Image().src = 'http://localhost:"
                  + QByteArray::number(m_server->port()) + "/foreign';</script>";
            for (const char* cookie : {"sid=abc; path=/", "foreign=1; domain=.localhost; path=/",
                                       "pref=dark; expires=Fri, 01 Jan 2100 00:00:00 GMT; path=/"})
                if (firstRun)
                    response.headers.append(Header("Set-Cookie", cookie));
            return response;
        });
        m_quillet->addBundleFile("index.html", "<script>location.href = '" + m_server->baseUrl()
                                                   + "/app';</script>");
        QVERIFY(m_quillet->buildBundle());
        const QString cookieFile = m_quillet->storageFolder() + "/cookies.ini";
        const auto storedCount
            = [&] { return QSettings(cookieFile, QSettings::IniFormat).allKeys().size(); };
        for (int run = 1; run <= 2; ++run, firstRun = false) {
            QVERIFY(m_quillet->start());
            QTRY_VERIFY_WITH_TIMEOUT(m_server->requestsTo("/shown").size() == run
                                         && m_server->requestsTo("/foreign").size() == run,
                                     20000);
            if (run == 2) {
                QVERIFY(stop());
                break;
            }
            QTRY_COMPARE_WITH_TIMEOUT(storedCount(), 2, 2000);
            m_quillet->kill();
            QVERIFY(m_quillet->waitForExit(10000));
        }
        QSettings stored(cookieFile, QSettings::IniFormat);
        QCOMPARE(stored.allKeys(), QStringList({"127.0.0.1/pref", "127.0.0.1/sid"}));
        QCOMPARE(stored.value("127.0.0.1/sid").toString(),
                 QString("sid=abc; domain=127.0.0.1; path=/"));
        QVERIFY(stored.value("127.0.0.1/pref").toString().startsWith("pref=dark; expires="));

        const QList<Request> apps = m_server->requestsTo("/app");
        QCOMPARE(apps.size(), 2);
        QVERIFY(!apps.first().headers.contains("cookie"));
        const QByteArray sentAfterRestart = apps.last().headers.value("cookie");
        QVERIFY2(sentAfterRestart.contains("sid=abc") && sentAfterRestart.contains("pref=dark"),
                 sentAfterRestart.constData());
        for (const Request& request : m_server->requests())
            QVERIFY2(!request.headers.value("cookie").contains("foreign"),
                     request.target.constData());
    }

    // What a page stores survives every way a run ends. Each run reads a count
    // from localStorage, IndexedDB, WebSQL and a cookie, reports it, writes
    // count + 1 everywhere and reports again. Run 1 ends by SIGTERM, run 2 by
    // closing its window, run 3 by SIGKILL two seconds after its write; run 4
    // reads what run 3 wrote. The page's script errors reach standard error
    // with their source and line.
    void pageDataSurvivesTermCloseAndKill()
    {
        m_quillet->addBundleFile("index.html", startPageOnOrigin("/counts.html"));
        m_quillet->addBundleFile(
            "widget/counts.html",
            page("<script>\n"
                 "var read = {}, writes = 0;\n"
                 "function q(o) { var s = []; for (var k in o) s.push(k + '=' + o[k]); return "
                 "s.join('&'); }\n"
                 "function got(name, value) { read[name] = +value || 0; if "
                 "(Object.keys(read).length == 4) write(); }\n"
                 "function wrote() { if (++writes < 2) return;\n"
                 "  report('where=written&' + q(read)); if (read.ls == 1) window.close(); }\n"
                 "function write() {\n"
                 "  report('where=read&' + q(read));\n"
                 "  localStorage.setItem('count', read.ls + 1);\n"
                 "  document.cookie = 'count=' + (read.cookie + 1) + '; expires=Fri, 01 Jan 2100 "
                 "00:00:00 GMT; path=/';\n"
                 "  sql.transaction(function (t) { t.executeSql('DELETE FROM c');\n"
                 "    t.executeSql('INSERT INTO c VALUES (?)', [read.sql + 1]); }, null, wrote);\n"
                 "  var t = idb.transaction('c', 'readwrite'); t.objectStore('c').put(read.idb + "
                 "1, 'n');\n"
                 "  t.oncomplete = wrote;\n"
                 "}\n"
                 "got('ls', localStorage.getItem('count'));\n"
                 "got('cookie', (/(?:^|; )count=(\\d+)/.exec(document.cookie) || [])[1]);\n"
                 "var sql = openDatabase('counts', '1.0', 'counts', 65536);\n"
                 "sql.transaction(function (t) { t.executeSql('CREATE TABLE IF NOT EXISTS c (n "
                 "INTEGER)');\n"
                 "  t.executeSql('SELECT n FROM c', [], function (t, r) { got('sql', r.rows.length "
                 "&& r.rows.item(0).n); }); });\n"
                 "var idb, open = indexedDB.open('counts', 1);\n"
                 "open.onupgradeneeded = function () { open.result.createObjectStore('c'); };\n"
                 "open.onsuccess = function () { idb = open.result;\n"
                 "  var get = idb.transaction('c').objectStore('c').get('n');\n"
                 "  get.onsuccess = function () { got('idb', get.result); }; };\n"
                 "</script>\n<script>var broken = ;</script>"));
        QVERIFY(m_quillet->buildBundle());
        for (int run = 0; run < 4; ++run) {
            const int seenBefore
                = m_server->requestsTo("/report").size();  // this run's reports only
            QVERIFY(m_quillet->start());
            QTRY_VERIFY_WITH_TIMEOUT(
                reports(seenBefore).contains("written") || !m_quillet->isRunning(), 30000);
            const QUrlQuery read = reports(seenBefore).value("read");
            const QString expected = QString::number(run);
            QCOMPARE(read.queryItemValue("ls"), expected);
            if (run < 3) {
                for (const char* store : {"idb", "sql", "cookie"})
                    QVERIFY2(read.queryItemValue(store) == expected,
                             qPrintable(store + (" in run " + read.toString())));
            } else {
                qInfo("after SIGKILL: %s", qPrintable(read.toString()));
            }
            if (run == 0) {
                QVERIFY(stop());
                const QString said = m_quillet->output();
                QVERIFY2(said.contains(
                             QRegularExpression("page error: " + applicationOrigin()
                                                + "/counts.html:\\d+: (Uncaught )?SyntaxError")),
                         qPrintable(said));
            } else if (run == 1) {
                QVERIFY(m_quillet->waitForExit(10000));
                QCOMPARE(m_quillet->exitCode(), 0);
            } else if (run == 2) {
                // The engine writes localStorage a moment after a change:
                // measured 1.2 s on QtWebKit, 5 s on Qt WebEngine.
                QTest::qWait(testedOnWebEngine() ? 6000 : 2000);
                m_quillet->kill();
                QVERIFY(m_quillet->waitForExit(5000));
            } else {
                QVERIFY(stop());
            }
        }
    }

    // A current app: ES2020 syntax in an ES module that imports another from
    // the origin, fetch() of a JSON file there, a CSS grid laid out, and a
    // count in localStorage kept across a restart. Qt WebEngine runs it;
    // QtWebKit skips module scripts without a word, which the app's classic
    // script, reporting after the page has loaded, finds out.
    void modernAppRunsOnQtWebEngineOnly()
    {
        m_quillet->addBundleFile("index.html", startPageOnOrigin("/index.html"));
        m_quillet->addBundleFile("widget/shelf.json", R"({"shelf": {"books": 3}})");
        m_quillet->addBundleFile("widget/count.js",
                                 "export const next = (stored) => BigInt(stored ?? 0) + 1n;\n");
        m_quillet->addBundleFile("widget/app.js", R"(import { next } from '/count.js';
window.moduleRan = true;
const count = next(localStorage.getItem('count'));
localStorage.setItem('count', String(count));
const [a, b] = document.getElementById('grid').children;
fetch('shelf.json').then((r) => r.json()).then((data) => report(`where=modern&count=${count}`
  + `&books=${data?.shelf?.books ?? 'none'}&absent=${data.absent?.books ?? 'none'}`
  + `&grid=${getComputedStyle(a.parentNode).display}:${b.offsetLeft - a.offsetLeft}`));
)");
        m_quillet->addBundleFile(
            "widget/index.html",
            page("<div id=\"grid\" style=\"display: grid; grid-template-columns: 100px 50px\">"
                 "<span>a</span><span>b</span></div>\n"
                 "<script type=\"module\" src=\"app.js\"></script>\n"
                 "<script>window.onload = function () { setTimeout(function () {\n"
                 "  report('where=classic&module=' + (window.moduleRan ? 'ran' : 'missing'));"
                 " }, 1000); };</script>"));
        QVERIFY(m_quillet->buildBundle());
        for (int run = 1; run <= 2; ++run) {
            const int seenBefore = m_server->requestsTo("/report").size();
            QVERIFY(m_quillet->start());
            QTRY_VERIFY_WITH_TIMEOUT(reports(seenBefore).contains("classic"), 20000);
            const QMap<QString, QUrlQuery> seen = reports(seenBefore);
            QVERIFY(stop());
            if (!testedOnWebEngine()) {
                QCOMPARE(seen.value("classic").queryItemValue("module"), QString("missing"));
                QVERIFY(!seen.contains("modern"));
                break;
            }
            QCOMPARE(seen.value("modern").toString(),
                     QString("where=modern&count=%1&books=3&absent=none&grid=grid:100").arg(run));
        }
    }

    // The main window's view starts on "about:blank": a back step to it is
    // refused, while a link to it is followed. "mailto:" links go to the
    // desktop's mail program (xdg-open, here a stand-in first on PATH that
    // records its argument) and the page stays.
    void backToBlankAndMailtoLeaveThePageWhereItIs()
    {
        QTemporaryDir bin;
        QVERIFY(writeFile(bin.filePath("xdg-open"), "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '"
                                                        + bin.filePath("log").toUtf8() + "'\n"));
        QVERIFY(
            QFile::setPermissions(bin.filePath("xdg-open"), QFile::ReadOwner | QFile::ExeOwner));
        m_quillet->setEnvironmentValue("QT_QPA_PLATFORM", "xcb");  // offscreen cannot hand URLs on
        m_quillet->setEnvironmentValue("PATH", bin.path() + ':' + qgetenv("PATH"));
        m_quillet->addBundleFile(
            "index.html",
            page("<a id=\"mail\" href=\"mailto:ann@example.org?subject=Quills\">mail</a>"
                 "<a id=\"blank\" href=\"about:blank\">blank</a><script>\n"
                 "function click(id) { document.getElementById(id).click(); }\n"
                 "window.onload = function () {\n"
                 "  history.back();\n"
                 "  setTimeout(function () { click('mail'); }, 500);\n"
                 "  setTimeout(function () {\n"
                 "    report('where=stayed&title=' + document.title + '&url=' + location.href\n"
                 "           + '&length=' + history.length);\n"
                 "    window.onunload = function () { report('where=left', true); };\n"
                 "    click('blank'); }, 1200);\n"
                 "};</script>"));
        QVERIFY(m_quillet->buildBundle() && m_quillet->start());
        QTRY_VERIFY_WITH_TIMEOUT(reports().contains("left"), 20000);
        QVERIFY(stop());
        QFile log(bin.filePath("log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("mailto:ann@example.org?subject=Quills\n"));
        // QtWebKit's view starts on about:blank, the step back refused; Qt
        // WebEngine's history begins with the start page.
        QCOMPARE(reports().value("stayed").toString(),
                 QString("where=stayed&title=start&url=qrc:/index.html&length=%1")
                     .arg(testedOnWebEngine() ? 1 : 2));
    }

    // A saved size far beyond the screen (1280 x 1024 here) opens the main
    // window, and a pop-up, within it; it crashed every start.
    void savedSizeBeyondTheScreenOpensWithinIt()
    {
        QuilletInstance quillet;
        quillet.setEnvironmentValue("QT_QPA_PLATFORM", "xcb");
        QSettings(quillet.settingsFilePath(), QSettings::IniFormat)
            .setValue("Window/size", QSize(40000, 40000));
        quillet.addBundleFile("index.html",
                              "<script>window.open('about:blank', 'extra');</script>");
        QVERIFY(quillet.buildBundle());
        QVERIFY(quillet.start());
        QTRY_VERIFY2_WITH_TIMEOUT(windows() == 2, quillet.output().constData(), 20000);
        QTest::qWait(500);
        QVERIFY2(closeWindowsAndWait(quillet), quillet.output().constData());
        QCOMPARE(quillet.exitCode(), 0);
        const QSize saved = QSettings(quillet.settingsFilePath(), QSettings::IniFormat)
                                .value("Window/size")
                                .toSize();
        QVERIFY2(saved.width() <= 1280 && saved.height() <= 1024,
                 qPrintable(QString::number(saved.width())));
    }

    void unusableBundleIsExplainedAndClosingEnds_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing"
                                 << "The file does not exist.";
        QTest::newRow("empty") << "empty"
                               << "The file is empty.";
        QTest::newRow("garbage") << "garbage"
                                 << "The file is not a resource bundle.";
        QTest::newRow("bad data offset") << "data offset"
                                         << "It is damaged";
        QTest::newRow("flipped bits in the index") << "flipped"
                                                   << "It is damaged";
        QTest::newRow("no index.html") << "no index"
                                       << "It has no start page, index.html.";
    }

    // Never registered: the window and standard error say what is wrong and
    // where the program looked; closing the window ends it with status 1.
    void unusableBundleIsExplainedAndClosingEnds()
    {
        QFETCH(QString, damage);
        QFETCH(QString, reason);
        QuilletInstance quillet;
        quillet.setEnvironmentValue("QT_QPA_PLATFORM", "xcb");
        QByteArray bundle = sampleBundle();
        QVERIFY(bundle.size() > 1000);
        const int tree = int(qFromBigEndian<quint32>(bundle.constData() + 8));
        if (damage == "empty") {
            bundle.clear();
        } else if (damage == "garbage") {
            for (int i = 0; i < bundle.size(); ++i)
                bundle[i] = char((i * 7919 + 13) >> 3);
        } else if (damage == "data offset") {
            qToBigEndian(quint32(bundle.size() - 8), bundle.data() + 12);
        } else if (damage == "flipped") {
            bundle[tree + 22 + 10]
                = char(bundle[tree + 22 + 10] ^ 0x80);  // the first child's offset
        }
        if (damage == "no index") {
            quillet.addBundleFile("widget/index.html", "<p>no start page at the root</p>");
            QVERIFY(quillet.buildBundle());
        } else if (damage != "missing") {
            QVERIFY(writeFile(quillet.bundlePath(), bundle));
        }
        QVERIFY(quillet.start());
        QTRY_VERIFY2_WITH_TIMEOUT(windows() == 1, quillet.output().constData(), 20000);
        const QByteArray said = quillet.output();
        QVERIFY2(
            said.contains("The application cannot start: its bundle cannot be used.\nLooked for: "
                          + quillet.bundlePath().toUtf8() + '\n' + reason.toUtf8()),
            said.constData());
        QVERIFY2(closeWindowsAndWait(quillet), quillet.output().constData());
        QCOMPARE(quillet.exitCode(), 1);
    }
};

QTEST_GUILESS_MAIN(E2eProgram)
#include "programtest.moc"
