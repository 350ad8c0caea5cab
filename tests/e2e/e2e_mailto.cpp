// "mailto:" links in the real program go to the desktop's mail program
// (xdg-open, here a stand-in first on PATH that records its argument) and the
// page stays; a web link that merely mentions "mailto:" is followed in-page.
#include "tests/support/quilletinstance.h"
#include "tests/support/recordinghttpserver.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class E2eMailto : public QObject {
    Q_OBJECT

private slots:
    void mailtoGoesToTheDesktopAndThePageStays()
    {
        QTemporaryDir bin;
        QFile handler(bin.filePath("xdg-open"));
        QVERIFY(handler.open(QIODevice::WriteOnly));
        handler.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + bin.filePath("log").toUtf8() + "'\n");
        handler.close();
        handler.setPermissions(handler.permissions() | QFileDevice::ExeOwner);
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QuilletInstance quillet;
        quillet.setEnvironmentValue("PATH", bin.path() + ":" + quillet.environment().value("PATH"));
        quillet.addBundleFile("index.html",
            "<html><head><title>start</title></head><body>"
            "<a id=\"mail\" href=\"mailto:ann@example.org?subject=Quills\">mail</a>"
            "<a id=\"web\" href=\"" + server.baseUrl() + "/share?to=MAILTO:ann@example.org\">web</a>"
            "<script>\n"
            "window.onload = function () {\n"
            "  document.getElementById('mail').click();\n"
            "  setTimeout(function () {\n"
            "    var img = new Image();\n"
            "    img.onload = img.onerror = function () { document.getElementById('web').click(); };\n"
            "    img.src = '" + server.baseUrl() + "/stayed?' + document.title + '+' + location.href;\n"
            "  }, 700);\n"
            "};\n"
            "</script></body></html>");
        QVERIFY(quillet.buildBundle());
        QVERIFY(quillet.start());
        QVERIFY2(server.waitForRequest("/share", 20000), quillet.output().constData());
        quillet.terminate();
        QVERIFY(quillet.waitForExit(10000));
        QCOMPARE(server.requestsTo("/stayed").size(), 1);
        QCOMPARE(server.requestsTo("/stayed").first().target, QByteArray("/stayed?start+qrc:/index.html"));
        QFile log(bin.filePath("log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("mailto:ann@example.org?subject=Quills\n"));
    }
};

QTEST_GUILESS_MAIN(E2eMailto)
#include "e2e_mailto.moc"
