// The installed program end to end, on both engines. Pages report to a loopback
// server with report('where=x&...'), by a beacon when leaving.
#include "quilletinstance.h"
#include "recordinghttpserver.h"
#include "webcore/webapp.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

template <typename T>
std::unique_ptr<T, decltype(&free)> owned(T* reply)
{
    return {reply, &free};
}

class E2eProgram : public QObject {
    Q_OBJECT
    // Connected all along: an X server resets when its last client goes, and
    // a program that connects during a reset fails to start.
    xcb_connection_t* const m_x = xcb_connect(nullptr, nullptr);
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
        for (const auto& request : m_server->requestsTo("/report").mid(first)) {
            const QUrlQuery query(QUrl::fromEncoded(request.target).query());
            byPlace.insert(query.queryItemValue("where"), query);
        }
        return byPlace;
    }
    int reportCount() const { return m_server->requestsTo("/report").size(); }

    // An app whose page reports the storage and cookie it finds, marks both and closes.
    void addMarkingApp(QuilletInstance& quillet, const QByteArray& name) const
    {
        quillet.addBundleFile("manifest.webmanifest", "{\"name\": \"" + name + "\"}");
        quillet.addBundleFile("index.html", startPageOnOrigin("/index.html"));
        quillet.addBundleFile(
            "widget/index.html",
            page("<script>var app = '" + name
                 + "';\n"
                   "report('where=' + app + '&seen=' + encodeURIComponent("
                   "localStorage.getItem('owner') + '|' + document.cookie));\n"
                   "localStorage.setItem('owner', app);\n"
                   "document.cookie = 'owner=' + app + '; max-age=86400; path=/';\n"
                   "setTimeout(function () { window.close(); }, 1500);</script>"));
    }

    xcb_atom_t atom(const char* name)
    {
        const auto reply = owned(xcb_intern_atom_reply(
            m_x, xcb_intern_atom(m_x, 0, uint16_t(strlen(name)), name), nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    // The viewable windows on this test's own display (only the program's); with
    // `close`, each is asked to close (WM_DELETE_WINDOW) as a window manager does.
    int windows(bool close = false)
    {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data->root;
        const auto tree = owned(xcb_query_tree_reply(m_x, xcb_query_tree(m_x, root), nullptr));
        int found = 0;
        for (int i = 0; tree && i < xcb_query_tree_children_length(tree.get()); ++i) {
            const xcb_window_t window = xcb_query_tree_children(tree.get())[i];
            const auto attributes = owned(xcb_get_window_attributes_reply(
                m_x, xcb_get_window_attributes(m_x, window), nullptr));
            if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
                continue;
            ++found;
            if (!close)
                continue;
            xcb_client_message_event_t event = {};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = window;
            event.type = atom("WM_PROTOCOLS");
            event.data.data32[0] = atom("WM_DELETE_WINDOW");
            event.data.data32[1] = XCB_CURRENT_TIME;
            xcb_send_event(m_x, 0, window, XCB_EVENT_MASK_NO_EVENT,
                           reinterpret_cast<const char*>(&event));
        }
        xcb_flush(m_x);
        return found;
    }

    // Ends a program that is still running with SIGTERM; true when it was running.
    bool stop()
    {
        const bool wasRunning = m_quillet->isRunning();
        m_quillet->terminate();
        return m_quillet->waitForExit(10000) && wasRunning;
    }

public:
    ~E2eProgram() override { xcb_disconnect(m_x); }

private slots:
    void init()
    {
        m_server = std::make_unique<RecordingHttpServer>();
        QVERIFY(m_server->listen());
        m_quillet = std::make_unique<QuilletInstance>();
    }

    // A page that never gives the event loop back: after SIGTERM the program is
    // gone within the deadline, with the cookie set seconds before on disk; when
    // confirm()'s own loop lets the request through, all else is written too.
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
        QFile cookies(storageFolder(m_quillet->home()) + "/cookies.ini");
        QVERIFY(cookies.open(QIODevice::ReadOnly));
        const QByteArray stored = cookies.readAll();
        QVERIFY(stored.contains("early=yes"));
        QVERIFY(!requestGetsThrough
                || (stored.contains("looping=yes")
                    && QSettings(m_quillet->settingsFilePath(), QSettings::IniFormat)
                           .contains("Window/size")));
    }

    // The bridge is in main frames only, pop-ups' included; bounds and script
    // move/resize act on the main window; closeapplication() from a pop-up ends
    // the program with 0 and the main window's last geometry is saved.
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

    // What a page stores survives every way a run ends. Each run moves onto the
    // origin (host in mixed case; a URL mentioning "mailto:" is followed), reads a
    // count from localStorage, IndexedDB, WebSQL and a session cookie and writes
    // count + 1 to each. Runs end by SIGTERM, by closing the window, by SIGKILL a
    // little after the write. Script errors reach standard error with source and line.
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
                 "function got(name, value) {\n"
                 "  read[name] = +value || 0; if (Object.keys(read).length == 4) write(); }\n"
                 "function wrote() { if (++writes < 2) return;\n"
                 "  report('where=written'); if (read.ls == 1) window.close(); }\n"
                 "function write() {\n"
                 "  var at = encodeURIComponent(location.href);\n"
                 "  report('where=read&ls=' + read.ls + '&cookie=' + read.cookie + '&idb='\n"
                 "         + read.idb + '&sql=' + read.sql + '&at=' + at);\n"
                 "  localStorage.setItem('count', read.ls + 1);\n"
                 "  document.cookie = 'count=' + (read.cookie + 1) + '; path=/';\n"
                 "  sql.transaction(function (t) { t.executeSql('DELETE FROM c');\n"
                 "    t.executeSql('INSERT INTO c VALUES (?)', [read.sql + 1]); }, null, wrote);\n"
                 "  var t = idb.transaction('c', 'readwrite');\n"
                 "  t.objectStore('c').put(read.idb + 1, 'n');\n"
                 "  t.oncomplete = wrote;\n"
                 "}\n"
                 "got('ls', localStorage.getItem('count'));\n"
                 "got('cookie', (/(?:^|; )count=(\\d+)/.exec(document.cookie) || [])[1]);\n"
                 "var sql = openDatabase('counts', '1.0', 'counts', 65536);\n"
                 "sql.transaction(function (t) {\n"
                 "  t.executeSql('CREATE TABLE IF NOT EXISTS c (n INTEGER)');\n"
                 "  t.executeSql('SELECT n FROM c', [], function (t, r) {\n"
                 "    got('sql', r.rows.length && r.rows.item(0).n); }); });\n"
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
            // After SIGKILL only localStorage and the cookie are sure to be on disk.
            const QStringList stores = {"ls", "cookie", "idb", "sql"};
            for (const QString& store : stores.mid(0, run < 3 ? 4 : 2))
                QVERIFY2(read.queryItemValue(store) == QString::number(run),
                         qPrintable(store + " in run " + read.toString()));
            if (run == 2) {
                // The engine writes localStorage a moment after a change:
                // measured 1.2 s on QtWebKit, 5 s on Qt WebEngine.
                QTest::qWait(testedOnWebEngine() ? 6000 : 2000);
                m_quillet->kill();
                QVERIFY(m_quillet->waitForExit(5000));
                continue;
            }
            QVERIFY(run == 1 ? m_quillet->waitForExit(10000) : stop());
            QCOMPARE(m_quillet->exitCode(), 0);
            const QString said = m_quillet->output();
            QVERIFY2(said.contains(QRegularExpression(
                         "page error: " + QRegularExpression::escape(applicationOrigin() + path)
                         + ":\\d+: (Uncaught )?SyntaxError")),
                     qPrintable(said));
        }
    }

    // A back step to the view's initial "about:blank" is refused, a link to it
    // followed; a "mailto:" link goes to xdg-open (a stand-in here) and the page stays.
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

    // On the X display, where each of these crashed, with a saved size beyond the
    // 1280 x 1024 screen: a usable bundle opens the main window and a pop-up; for
    // an unusable one the window and standard error say what is wrong and where.
    // Closing the windows ends the program, with 1 when it could not start.
    void windowsOnTheDisplayOpenAndClose_data()
    {
        QTest::addColumn<QString>("file");  // Widget.rcc as it is, or a file of the bundle built
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("reason");  // why the bundle cannot be used; empty: it can
        const QByteArray sample = sampleBundle();
        QTest::newRow("usable, with a pop-up")
            << "index.html" << QByteArray("<script>window.open('about:blank', 'x');</script>")
            << QByteArray();
        QTest::newRow("missing") << "" << QByteArray() << QByteArray("The file does not exist.");
        QTest::newRow("empty") << "Widget.rcc" << QByteArray() << QByteArray("The file is empty.");
        QTest::newRow("cut short")
            << "Widget.rcc" << sample.left(sample.size() / 2) << QByteArray("It is damaged");
        QTest::newRow("no index.html") << "widget/index.html" << QByteArray("<p>elsewhere</p>")
                                       << QByteArray("It has no start page, index.html.");
    }
    void windowsOnTheDisplayOpenAndClose()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, reason);
        m_quillet->setEnvironmentValue("QT_QPA_PLATFORM", "xcb");
        QSettings(m_quillet->settingsFilePath(), QSettings::IniFormat)
            .setValue("Window/size", QSize(40000, 40000));
        if (file == "Widget.rcc") {
            QVERIFY(writeFile(m_quillet->bundlePath(), content));
        } else if (!file.isEmpty()) {
            m_quillet->addBundleFile(file, content);
            QVERIFY(m_quillet->buildBundle());
        }
        QVERIFY(m_quillet->start());
        QTRY_VERIFY2_WITH_TIMEOUT(windows() == (reason.isEmpty() ? 2 : 1),
                                  m_quillet->output().constData(), 20000);
        QTest::qWait(500);
        const QByteArray said = m_quillet->output();
        QVERIFY2(reason.isEmpty()
                     || said.contains("The application cannot start: its bundle cannot be used.\n"
                                      "Looked for: "
                                      + m_quillet->bundlePath().toUtf8() + '\n' + reason),
                 said.constData());
        QVERIFY2(windows(true) > 0 && m_quillet->waitForExit(10000)
                     && m_quillet->exitStatus() == QProcess::NormalExit,
                 said.constData());
        QCOMPARE(m_quillet->exitCode(), reason.isEmpty() ? 0 : 1);
        const QSize saved = QSettings(m_quillet->settingsFilePath(), QSettings::IniFormat)
                                .value("Window/size")
                                .toSize();
        QVERIFY(!reason.isEmpty() || (saved.width() <= 1280 && saved.height() <= 1024));
    }

    // Two apps of one user, one and then both side by side: each keeps its own
    // storage, cookies and settings; the built-in folders stay unused.
    void appsWithManifestsKeepTheirOwnData()
    {
        QuilletInstance& notes = *m_quillet;
        QuilletInstance sketch;
        addMarkingApp(notes, "Notes");
        addMarkingApp(sketch, "Sketch");
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
            sketch.setEnvironmentValue(name, notes.environment().value(name));
        QVERIFY(notes.buildBundle() && sketch.buildBundle());
        QVERIFY(notes.start() && notes.waitForExit(30000));
        const int seenBefore = reportCount();
        QVERIFY(notes.start() && sketch.start());
        QVERIFY2(notes.waitForExit(30000) && sketch.waitForExit(30000), notes.output().constData());
        QCOMPARE(notes.exitCode() + sketch.exitCode(), 0);
        const QMap<QString, QUrlQuery> seen = reports(seenBefore);
        QCOMPARE(seen.value("Notes").queryItemValue("seen", QUrl::FullyDecoded),
                 QString("Notes|owner=Notes"));
        QCOMPARE(seen.value("Sketch").queryItemValue("seen", QUrl::FullyDecoded), QString("null|"));
        const auto config = notes.home().configFolder(), data = notes.home().dataFolder();
        for (const char* key : {"notes", "sketch"})
            QVERIFY(std::filesystem::exists(config / key / "settings.ini")
                    && std::filesystem::exists(data / key / "cookies.ini"));
        QVERIFY(!std::filesystem::exists(config / "brambleKiln")
                && !std::filesystem::exists(data / "brambleKiln"));
    }

    // A second start brings the first to the front and ends with 0; a crash's
    // stale socket does not stop the next start. Full screen (manifest) beats the saved size.
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
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("output");
        QTest::newRow("--help lists the options")
            << QStringList{"--help"} << 0 << QByteArray("--web-folder DIR");
        QTest::newRow("--version names the app and its version")
            << QStringList{"--version"} << 0 << QByteArray("Solo 2.1\nQuillet ");
        QTest::newRow("an unknown option is an error")
            << QStringList{"--fly"} << 2 << QByteArray("unknown option '--fly'");
        QTest::newRow("a web folder that is not there is an error")
            << QStringList{"--web-folder", "/nonexistent"} << 2
            << QByteArray("no such folder: /nonexistent");
    }
    void commandLineAnswersAsUsersExpect()
    {
        QFETCH(QStringList, arguments);
        m_quillet->addBundleFile("index.html", "<p>app</p>");
        m_quillet->addBundleFile("manifest.webmanifest",
                                 "{\"name\": \"Solo\", \"version\": \"2.1\"}");
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
