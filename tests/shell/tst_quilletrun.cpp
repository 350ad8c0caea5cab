// Runs of the real executable from a temporary install folder, started from
// another folder, with its own home.
#include "tests/support/quilletinstance.h"
#include "tests/support/recordinghttpserver.h"

#include <QFile>
#include <QSettings>
#include <QTest>

class TestQuilletRun : public QObject {
    Q_OBJECT

    static QSettings settingsOf(const QuilletInstance& quillet)
    {
        return QSettings(quillet.settingsFilePath(), QSettings::IniFormat);
    }
    // A start page that tells the server it loaded.
    static QByteArray reportingPage(const RecordingHttpServer& server)
    {
        return "<html><body><h1>Test bundle</h1><script>new Image().src='" + server.baseUrl()
            + "/loaded';</script></body></html>";
    }

private slots:
    void findsTheBundleNextToItsExecutable()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QuilletInstance quillet;
        quillet.addBundleFile("index.html", reportingPage(server));
        QVERIFY(quillet.buildBundle());
        QVERIFY(quillet.start());
        QVERIFY2(server.waitForRequest("/loaded", 20000), quillet.output().constData());
        quillet.terminate();
        QVERIFY(quillet.waitForExit(10000));
    }

    void sigtermEndsInOrderAndSavesGeometry()
    {
        QuilletInstance quillet;
        QVERIFY(quillet.useSampleBundle());
        QVERIFY(quillet.start());
        QTest::qWait(1500);
        QVERIFY(quillet.isRunning());
        quillet.terminate();
        QVERIFY(quillet.waitForExit(10000));
        QCOMPARE(quillet.exitStatus(), QProcess::NormalExit);
        QCOMPARE(quillet.exitCode(), 0);
        QSettings s = settingsOf(quillet);
        QCOMPARE(s.value("Window/size").toSize(), QSize(800, 600));
        QCOMPARE(s.value("Window/pos").toPoint(), QPoint(0, 0));
    }

    // A page that never gives the event loop back: after SIGTERM the program
    // is gone within the deadline all the same. The cookie it was given
    // seconds before is on disk, and its geometry too when the request got
    // through at all (in confirm's own loop).
    void sigtermEndsTheProgramWhateverThePageDoes_data()
    {
        QTest::addColumn<QByteArray>("loop");
        QTest::addColumn<bool>("geometrySaved");
        QTest::newRow("page asking confirm() again and again") << QByteArray("for (;;) confirm('Leave?');")
                                                               << true;
        QTest::newRow("busy script") << QByteArray("for (;;) {}") << false;
    }
    void sigtermEndsTheProgramWhateverThePageDoes()
    {
        QFETCH(QByteArray, loop);
        QFETCH(bool, geometrySaved);
        RecordingHttpServer server;
        QVERIFY(server.listen());
        server.setHandler([](const RecordingHttpServer::Request&) {
            RecordingHttpServer::Response response;
            response.headers.append(qMakePair(QByteArray("Set-Cookie"), QByteArray("kept=yes; Max-Age=3600")));
            return response;
        });
        QuilletInstance quillet;
        quillet.addBundleFile("index.html", "<html><body><script>var x = new XMLHttpRequest();"
            "x.open('GET', '" + server.baseUrl() + "/cookie', false); x.send();"
            "setTimeout(function () { var y = new XMLHttpRequest();"
            "y.open('GET', '" + server.baseUrl() + "/looping', false); y.send();" + loop
            + "}, 2500);</script></body></html>");
        QVERIFY(quillet.buildBundle());
        QVERIFY(quillet.start());
        QVERIFY2(server.waitForRequest("/looping", 20000), quillet.output().constData());
        QTest::qWait(300);
        quillet.terminate();
        QVERIFY2(quillet.waitForExit(6000), "still running 6 s after SIGTERM");
        QFile cookies(quillet.storageFolder() + "/cookies.ini");
        QVERIFY(cookies.open(QIODevice::ReadOnly));
        QVERIFY(cookies.readAll().contains("kept=yes"));
        if (geometrySaved)
            QVERIFY(settingsOf(quillet).contains("Window/size"));
    }

    void missingBundleStillOpensAWindow()
    {
        QuilletInstance quillet;
        quillet.removeBundle();
        QVERIFY(quillet.start());
        QTest::qWait(1000);
        QVERIFY2(quillet.isRunning(), quillet.output().constData());
        quillet.terminate();
        QVERIFY(quillet.waitForExit(10000));
        QCOMPARE(quillet.exitCode(), 0);
        // The window existed: it saved its geometry when it was destroyed.
        QCOMPARE(settingsOf(quillet).value("Window/size").toSize(), QSize(800, 600));
    }
};

QTEST_MAIN(TestQuilletRun)
#include "tst_quilletrun.moc"
