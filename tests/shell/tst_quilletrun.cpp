// Runs of the real executable from a temporary install folder, started from
// another folder, with its own home.
#include "tests/support/quilletinstance.h"
#include "tests/support/recordinghttpserver.h"

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

    // The sample app has a manifest: its settings are its own.
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
        QSettings s(quillet.homeFolder() + "/.config/quillet-sample/settings.ini", QSettings::IniFormat);
        QVERIFY(!QFile::exists(quillet.settingsFilePath()));
        QCOMPARE(s.value("Window/size").toSize(), QSize(800, 600));
        QCOMPARE(s.value("Window/pos").toPoint(), QPoint(0, 0));
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
