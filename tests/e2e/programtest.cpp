// The real program end to end, installed in a temporary folder and started
// from another: how it ends and what it keeps, the bridge and window calls,
// history and mailto: links, apps with manifests and the command line; and, as
// X11 windows (QT_QPA_PLATFORM=xcb), the cases that crashed in the X11 backend.
// Test pages report to a loopback server, report('where=x&...'), by a beacon
// when leaving, so that a report from an unloading document still arrives.
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

#include <filesystem>
#include <memory>

class E2eProgram : public QObject {
    Q_OBJECT
    XDisplay m_display;  // for the runs on the X display
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

    // The reports by their "where" value (the last of each), from the first'th on.
    QMap<QString, QUrlQuery> reports(int first = 0) const
    {
        QMap<QString, QUrlQuery> byPlace;
        for (const RecordingHttpServer::Request& request :
             m_server->requestsTo("/report").mid(first)) {
            const QUrlQuery query(QUrl::fromEncoded(request.target).query());
            byPlace.insert(query.queryItemValue("where"), query);
        }
        return byPlace;
    }
    int reportCount() const { return m_server->requestsTo("/report").size(); }

    // An app with a manifest whose page reports what it finds in web storage
    // and cookies, leaves its own mark in both and closes.
    void addMarkingApp(QuilletInstance& quillet, const QByteArray& name) const
    {
        quillet.addBundleFile("manifest.webmanifest", "{\"name\": \"" + name + "\"}");
        quillet.addBundleFile("index.html", startPageOnOrigin("/index.html"));
        quillet.addBundleFile(
            "widget/index.html",
            page("<script>\n"
                 "report('where="
                 + name
                 + "&seen=' + encodeURIComponent(localStorage.getItem('owner') + '|'"
                   " + document.cookie));\n"
                   "localStorage.setItem('owner', '"
                 + name + "');\ndocument.cookie = 'owner=" + name
                 + "; max-age=86400; path=/';\n"
                   "setTimeout(function () { window.close(); }, 1500);\n"
                   "</script>"));
    }

    int windows() { return m_display.topLevelWindows("Quillet"); }
    // Closes every window of the program on the X display, as a window
    // manager does, and waits for the program to end by itself.
    bool closeWindowsAndWait()
    {
        return m_display.topLevelWindows("Quillet", true) > 0 && m_quillet->waitForExit(10000)
               && m_quillet->exitStatus() == QProcess::NormalExit;
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

    // A page that never gives the event loop back: after SIGTERM the program
    // is gone within the deadline all the same, with the cookie set seconds
    // before on disk. When the request gets through (in confirm's own loop),
    // the cookie of a moment ago and the geometry are written too.
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
    // closeapplication() from a pop-up ends the program with 0 and the main
    // window's last geometry is saved.
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
        QVERIFY(m_quillet->buildBundle() && m_quillet->start());
        QVERIFY2(m_quillet->waitForExit(30000), m_quillet->output().constData());
        QCOMPARE(m_quillet->exitCode(), 0);

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

    // What a page stores survives every way a run ends. The start page moves
    // onto the origin (its host in mixed case; a URL that merely mentions
    // "mailto:" is followed). Each run reads a count from localStorage,
    // IndexedDB, WebSQL and a session cookie, reports it, writes count + 1
    // everywhere and reports again. Run 1 ends by SIGTERM, run 2 by closing
    // its window, run 3 by SIGKILL a little after its write; run 4 reads what
    // run 3 wrote. The page's script errors reach standard error with their
    // source and line.
    void pageDataSurvivesTermCloseAndKill()
    {
        const QByteArray host
            = APPLICATION_HOST.toLower().replace(".casewright", ".CaseWright").toUtf8();
        const QByteArray path = "/counts.html?via=mailto:ann@example.org";
        m_quillet->addBundleFile("index.html", "<script>location.replace('http://" + host + path
                                                   + "');</script>");
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
                 "  report('where=read&' + q(read) + '&at=' + encodeURIComponent(location.href));\n"
                 "  localStorage.setItem('count', read.ls + 1);\n"
                 "  document.cookie = 'count=' + (read.cookie + 1) + '; path=/';\n"
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
            const int seenBefore = reportCount();  // this run's reports only
            QVERIFY(m_quillet->start());
            QTRY_VERIFY_WITH_TIMEOUT(
                reports(seenBefore).contains("written") || !m_quillet->isRunning(), 30000);
            const QUrlQuery read = reports(seenBefore).value("read");
            QCOMPARE(read.queryItemValue("at", QUrl::FullyDecoded), applicationOrigin() + path);
            // The engine may not have written the databases before SIGKILL.
            for (const char* store : {"ls", "cookie", "idb", "sql"}) {
                if (run < 3 || store == QByteArray("ls") || store == QByteArray("cookie"))
                    QVERIFY2(read.queryItemValue(store) == QString::number(run),
                             qPrintable(store + (" in run " + read.toString())));
            }
            if (run == 0) {
                QVERIFY(stop());
                QCOMPARE(m_quillet->exitCode(), 0);
                const QString said = m_quillet->output();
                QVERIFY2(said.contains(QRegularExpression(
                             "page error: " + QRegularExpression::escape(applicationOrigin() + path)
                             + ":\\d+: (Uncaught )?SyntaxError")),
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
        // Qt WebEngine's history begins with the start page, not about:blank.
        QCOMPARE(reports().value("stayed").toString(),
                 QString("where=stayed&title=start&url=qrc:/index.html&length=%1")
                     .arg(testedOnWebEngine() ? 1 : 2));
    }

    // A saved size far beyond the screen (1280 x 1024 here) opens the main
    // window, and a pop-up, within it; it crashed every start on X11.
    void savedSizeBeyondTheScreenOpensWithinIt()
    {
        m_quillet->setEnvironmentValue("QT_QPA_PLATFORM", "xcb");
        QSettings(m_quillet->settingsFilePath(), QSettings::IniFormat)
            .setValue("Window/size", QSize(40000, 40000));
        m_quillet->addBundleFile("index.html",
                                 "<script>window.open('about:blank', 'extra');</script>");
        QVERIFY(m_quillet->buildBundle() && m_quillet->start());
        QTRY_VERIFY2_WITH_TIMEOUT(windows() == 2, m_quillet->output().constData(), 20000);
        QTest::qWait(500);
        QVERIFY2(closeWindowsAndWait(), m_quillet->output().constData());
        QCOMPARE(m_quillet->exitCode(), 0);
        const QSize saved = QSettings(m_quillet->settingsFilePath(), QSettings::IniFormat)
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
        QTest::newRow("cut short") << "cut short"
                                   << "It is damaged";
        QTest::newRow("no index.html") << "no index"
                                       << "It has no start page, index.html.";
    }
    // Never registered (its index is read unchecked, which crashed on X11):
    // the window and standard error say what is wrong and where the program
    // looked; closing the window ends it with status 1.
    void unusableBundleIsExplainedAndClosingEnds()
    {
        QFETCH(QString, damage);
        QFETCH(QString, reason);
        m_quillet->setEnvironmentValue("QT_QPA_PLATFORM", "xcb");
        const QByteArray sample = sampleBundle();
        QVERIFY(sample.size() > 1000);
        if (damage == "no index") {
            m_quillet->addBundleFile("widget/index.html", "<p>no start page at the root</p>");
            QVERIFY(m_quillet->buildBundle());
        } else if (damage != "missing") {
            QVERIFY(writeFile(m_quillet->bundlePath(),
                              damage == "empty" ? QByteArray() : sample.left(sample.size() / 2)));
        }
        QVERIFY(m_quillet->start());
        QTRY_VERIFY2_WITH_TIMEOUT(windows() == 1, m_quillet->output().constData(), 20000);
        const QByteArray said = m_quillet->output();
        QVERIFY2(
            said.contains("The application cannot start: its bundle cannot be used.\nLooked for: "
                          + m_quillet->bundlePath().toUtf8() + '\n' + reason.toUtf8()),
            said.constData());
        QVERIFY2(closeWindowsAndWait(), said.constData());
        QCOMPARE(m_quillet->exitCode(), 1);
    }

    // Two apps of one user, side by side and then one again: each keeps its
    // own web storage, cookies and settings, and the built-in folders stay unused.
    void appsWithManifestsKeepTheirOwnData()
    {
        QuilletInstance& notes = *m_quillet;
        QuilletInstance sketch;
        addMarkingApp(notes, "Notes");
        addMarkingApp(sketch, "Sketch");
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
            sketch.setEnvironmentValue(name, notes.environment().value(name));
        QVERIFY(notes.buildBundle() && sketch.buildBundle());
        QVERIFY(notes.start() && sketch.start());
        QVERIFY2(notes.waitForExit(30000) && sketch.waitForExit(30000), notes.output().constData());
        QCOMPARE(notes.exitCode() + sketch.exitCode(), 0);
        const QMap<QString, QUrlQuery> first = reports();
        const int seenBefore = reportCount();
        QVERIFY(notes.start() && notes.waitForExit(30000));
        QCOMPARE(first.value("Notes").queryItemValue("seen", QUrl::FullyDecoded), QString("null|"));
        QCOMPARE(first.value("Sketch").queryItemValue("seen", QUrl::FullyDecoded),
                 QString("null|"));
        QCOMPARE(reports(seenBefore).value("Notes").queryItemValue("seen", QUrl::FullyDecoded),
                 QString("Notes|owner=Notes"));
        const auto config = notes.home().configFolder(), data = notes.home().dataFolder();
        for (const char* key : {"notes", "sketch"}) {
            QVERIFY(std::filesystem::exists(config / key / "settings.ini"));
            QVERIFY(std::filesystem::exists(data / key / "cookies.ini"));
        }
        QVERIFY(!std::filesystem::exists(config / "brambleKiln"));
        QVERIFY(!std::filesystem::exists(data / "brambleKiln"));
    }

    // A second start brings the first to the front and ends with 0; after a
    // crash the socket and lock left behind do not stop the next start. The
    // manifest asks for full screen: the saved size gives way to the screen's.
    void secondStartRaisesTheFirstAndAStaleSocketIsIgnored()
    {
        m_quillet->addBundleFile("manifest.webmanifest",
                                 "{\"name\": \"Solo\", \"display\": \"fullscreen\"}");
        m_quillet->addBundleFile("index.html", page("<script>onresize = onload = function () {"
                                                    " report('where=width&w=' + innerWidth); };\n"
                                                    "report('where=loaded');</script>"));
        QSettings(QString::fromStdString(m_quillet->home().configFolder() / "solo/settings.ini"),
                  QSettings::IniFormat)
            .setValue("Window/size", QSize(500, 400));
        QVERIFY(m_quillet->buildBundle() && m_quillet->start());
        QTRY_COMPARE_WITH_TIMEOUT(reports().value("width").queryItemValue("w"), QString("800"),
                                  20000);

        const int seenBefore = reportCount();
        QProcess second;
        second.setProcessEnvironment(m_quillet->environment());
        second.start(m_quillet->programPath(), QStringList());
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(second.readAllStandardOutput().startsWith("Solo is already running"));
        QTRY_VERIFY_WITH_TIMEOUT(m_quillet->output().contains("brought to the front"), 5000);
        QVERIFY(m_quillet->isRunning());
        QVERIFY(!reports(seenBefore).contains("loaded"));

        m_quillet->kill();
        QVERIFY(m_quillet->waitForExit(10000));
        QVERIFY(QFile::exists(m_quillet->environment().value("XDG_RUNTIME_DIR")
                              + "/quillet-solo.socket"));
        QVERIFY(m_quillet->start());
        QTRY_VERIFY_WITH_TIMEOUT(reports(seenBefore).contains("loaded"), 20000);
        QVERIFY(stop());
        QCOMPARE(m_quillet->exitCode(), 0);
    }

    // Run unpacked, the page reloads and shows the script as edited meanwhile.
    void webFolderServesAnEditedFileAfterAReload()
    {
        QTemporaryDir folder;
        QVERIFY(writeFile(folder.path() + "/index.html", startPageOnOrigin("/index.html")));
        QVERIFY(writeFile(folder.path() + "/widget/v.js", "var version = 1;"));
        QVERIFY(writeFile(folder.path() + "/widget/index.html",
                          page("<script src=\"v.js\"></script><script>\n"
                               "report('where=' + version);\n"
                               "if (!sessionStorage.getItem('again')) {\n"
                               "  sessionStorage.setItem('again', '1');\n"
                               "  setTimeout(function () { location.reload(); }, 2000);\n"
                               "}</script>")));
        QVERIFY(m_quillet->start({"--web-folder", folder.path()}));
        QTRY_VERIFY2_WITH_TIMEOUT(reports().contains("1"), m_quillet->output().constData(), 20000);
        QVERIFY(writeFile(folder.path() + "/widget/v.js", "var version = 2;"));
        QTRY_VERIFY_WITH_TIMEOUT(reports().contains("2"), 20000);
        QVERIFY(stop());
    }

    void commandLineAnswersAsUsersExpect_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("manifest");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("output");
        QTest::newRow("--help lists the options")
            << QStringList{"--help"} << QByteArray() << 0 << QByteArray("--web-folder DIR");
        QTest::newRow("--version names the app and its version")
            << QStringList{"--version"} << QByteArray("{\"name\": \"Solo\", \"version\": \"2.1\"}")
            << 0 << QByteArray("Solo 2.1\nQuillet ");
        QTest::newRow("an unknown option is an error")
            << QStringList{"--fly"} << QByteArray() << 2 << QByteArray("unknown option '--fly'");
        QTest::newRow("a web folder that is not there is an error")
            << QStringList{"--web-folder", "/nonexistent"} << QByteArray() << 2
            << QByteArray("no such folder: /nonexistent");
    }
    void commandLineAnswersAsUsersExpect()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, manifest);
        m_quillet->addBundleFile("index.html", "<p>app</p>");
        if (!manifest.isEmpty())
            m_quillet->addBundleFile("manifest.webmanifest", manifest);
        QVERIFY(m_quillet->buildBundle());
        // A platform that does not exist: the program must answer without a window.
        m_quillet->setEnvironmentValue("QT_QPA_PLATFORM", "no-such-platform");
        QVERIFY(m_quillet->start(arguments) && m_quillet->waitForExit(10000));
        QTEST(m_quillet->exitCode(), "exitCode");
        QFETCH(QByteArray, output);
        QVERIFY2(m_quillet->output().contains(output), m_quillet->output().constData());
    }
};

QTEST_GUILESS_MAIN(E2eProgram)
#include "programtest.moc"
