// Runs of the real executable as apps of their own: manifests, data kept
// apart, one instance per app, an unpacked web folder and the command line.
#include "quilletinstance.h"
#include "recordinghttpserver.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <filesystem>

class TestAppRun : public QObject {
    Q_OBJECT

    // An app with a manifest whose page tells the server what it finds in
    // web storage and cookies, leaves its own mark in both and closes.
    static void addMarkingApp(QuilletInstance& quillet, const QByteArray& name,
                              const RecordingHttpServer& server)
    {
        quillet.addBundleFile("manifest.webmanifest", "{\"name\": \"" + name + "\"}");
        quillet.addBundleFile("index.html", startPageOnOrigin("/index.html"));
        quillet.addBundleFile("widget/index.html",
                              "<script>\n"
                              "var seen = localStorage.getItem('owner') + '|' + document.cookie;\n"
                              "localStorage.setItem('owner', '"
                                  + name
                                  + "');\n"
                                    "document.cookie = 'owner="
                                  + name
                                  + "; max-age=86400; path=/';\n"
                                    "var x = new XMLHttpRequest();\n"
                                    "x.open('GET', '"
                                  + server.baseUrl() + "/seen/" + name
                                  + "?' + encodeURIComponent(seen), false);\n"
                                    "try { x.send(); } catch (e) {}\n"
                                    "setTimeout(function () { window.close(); }, 1500);\n"
                                    "</script>");
    }
    static bool arrived(const RecordingHttpServer& server, const QByteArray& path, int milliseconds)
    {
        return QTest::qWaitFor([&] { return !server.requestsTo(path).isEmpty(); }, milliseconds);
    }
    static QStringList seenBy(const RecordingHttpServer& server, const QByteArray& name)
    {
        QStringList seen;
        for (const RecordingHttpServer::Request& request : server.requestsTo("/seen/" + name))
            seen << QUrl::fromPercentEncoding(request.target.mid(request.target.indexOf('?') + 1));
        return seen;
    }

private slots:
    // Two apps of one user, side by side and then again: each keeps its own
    // web storage, cookies and settings, and the built-in folders stay unused.
    void appsWithManifestsKeepTheirOwnData()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QuilletInstance notes, sketch;
        addMarkingApp(notes, "Notes", server);
        addMarkingApp(sketch, "Sketch", server);
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
            sketch.setEnvironmentValue(name, notes.environment().value(name));
        QVERIFY(notes.buildBundle() && sketch.buildBundle());
        QVERIFY(notes.start() && sketch.start());
        QVERIFY2(notes.waitForExit(30000) && sketch.waitForExit(30000), notes.output().constData());
        QCOMPARE(notes.exitCode() + sketch.exitCode(), 0);
        QVERIFY(notes.start());
        QVERIFY(notes.waitForExit(30000));
        QCOMPARE(seenBy(server, "Notes"), QStringList({"null|", "Notes|owner=Notes"}));
        QCOMPARE(seenBy(server, "Sketch"), QStringList({"null|"}));
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
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QuilletInstance quillet;
        quillet.addBundleFile("manifest.webmanifest",
                              "{\"name\": \"Solo\", \"display\": \"fullscreen\"}");
        quillet.addBundleFile("index.html",
                              "<script>function width() { new Image().src = '" + server.baseUrl()
                                  + "/width?' + innerWidth; }\n"
                                    "onresize = width; onload = function () { width();"
                                    " new Image().src = '"
                                  + server.baseUrl() + "/loaded'; };</script>");
        QSettings(QString::fromStdString(quillet.home().configFolder() / "solo/settings.ini"),
                  QSettings::IniFormat)
            .setValue("Window/size", QSize(500, 400));
        QVERIFY(quillet.buildBundle());
        QVERIFY(quillet.start());
        QVERIFY2(arrived(server, "/loaded", 20000), quillet.output().constData());
        QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo("/width").last().target,
                                  QByteArray("/width?800"), 5000);

        QProcess second;
        second.setProcessEnvironment(quillet.environment());
        second.start(quillet.programPath(), QStringList());
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(second.readAllStandardOutput().startsWith("Solo is already running"));
        QTRY_VERIFY_WITH_TIMEOUT(quillet.output().contains("brought to the front"), 5000);
        QVERIFY(quillet.isRunning());
        QCOMPARE(server.requestsTo("/loaded").size(), 1);

        quillet.kill();
        QVERIFY(quillet.waitForExit(10000));
        QVERIFY(
            QFile::exists(quillet.environment().value("XDG_RUNTIME_DIR") + "/quillet-solo.socket"));
        QVERIFY(quillet.start());
        QTRY_VERIFY_WITH_TIMEOUT(server.requestsTo("/loaded").size() == 2, 20000);
        quillet.terminate();
        QVERIFY(quillet.waitForExit(10000));
        QCOMPARE(quillet.exitCode(), 0);
    }

    // Run unpacked, the page reloads and shows the script as edited meanwhile.
    void webFolderServesAnEditedFileAfterAReload()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QTemporaryDir folder;
        QVERIFY(writeFile(folder.path() + "/index.html", startPageOnOrigin("/index.html")));
        QVERIFY(writeFile(folder.path() + "/widget/v.js", "var version = 1;"));
        QVERIFY(writeFile(folder.path() + "/widget/index.html",
                          "<script src=\"v.js\"></script><script>\n"
                          "new Image().src = '"
                              + server.baseUrl()
                              + "/version/' + version;\n"
                                "if (!sessionStorage.getItem('again')) {\n"
                                "  sessionStorage.setItem('again', '1');\n"
                                "  setTimeout(function () { location.reload(); }, 2000);\n"
                                "}</script>"));
        QuilletInstance quillet;
        QVERIFY(quillet.start({"--web-folder", folder.path()}));
        QVERIFY2(arrived(server, "/version/1", 20000), quillet.output().constData());
        QVERIFY(writeFile(folder.path() + "/widget/v.js", "var version = 2;"));
        QVERIFY2(arrived(server, "/version/2", 20000), quillet.output().constData());
        quillet.terminate();
        QVERIFY(quillet.waitForExit(10000));
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
        QTest::newRow("a malformed manifest warns; the app is the built-in one")
            << QStringList{"--version"} << QByteArray("{\"name\": ") << 0
            << QByteArray("manifest.webmanifest is ignored: not valid JSON");
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
        QuilletInstance quillet;
        quillet.addBundleFile("index.html", "<p>app</p>");
        if (!manifest.isEmpty())
            quillet.addBundleFile("manifest.webmanifest", manifest);
        QVERIFY(quillet.buildBundle());
        quillet.setEnvironmentValue("QT_QPA_PLATFORM", "no-such-platform");  // never opens a window
        QVERIFY(quillet.start(arguments));
        QVERIFY(quillet.waitForExit(10000));
        QTEST(quillet.exitCode(), "exitCode");
        QFETCH(QByteArray, output);
        QVERIFY2(quillet.output().contains(output), quillet.output().constData());
    }
};

QTEST_MAIN(TestAppRun)
#include "appstest.moc"
