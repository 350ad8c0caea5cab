// A download in the real program while its save dialog waits for the user:
// the reply the page handed over is stopped, so the program does not fetch
// the body into memory meanwhile.
#include "tests/support/quilletinstance.h"
#include "tests/support/recordinghttpserver.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

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

class E2eDownload : public QObject {
    Q_OBJECT

private slots:
    void handedOverReplyIsNotFetchedIntoMemory()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        server.setHandler([&](const RecordingHttpServer::Request&) {
            RecordingHttpServer::Response response;
            response.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("application/zip")));
            response.streamedSize = 300LL * 1024 * 1024;
            return response;
        });
        QuilletInstance quillet;
        quillet.addBundleFile("index.html", "<script>location.href = '" + server.baseUrl()
                                                + "/files/archive.zip';</script>");
        QVERIFY(quillet.buildBundle());
        QVERIFY(quillet.start());
        QVERIFY2(server.waitForRequest("/files/archive.zip", 20000), quillet.output().constData());
        const qint64 before = residentKiB(quillet.processId());
        QVERIFY(before > 0);
        // Long enough for the whole body to arrive over loopback if read.
        qint64 peak = before;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 3000) {
            QTest::qWait(50);
            peak = qMax(peak, residentKiB(quillet.processId()));
        }
        QVERIFY(quillet.isRunning());
        quillet.terminate();
        if (!quillet.waitForExit(10000))
            quillet.kill();
        QVERIFY2(peak - before < 64 * 1024,
                 qPrintable(QString("grew by %1 MiB").arg((peak - before) / 1024)));
        // Only the page's request was made: the save dialog is still open.
        QCOMPARE(server.requestsTo("/files/archive.zip").size(), 1);
    }
};

QTEST_GUILESS_MAIN(E2eDownload)
#include "e2e_download.moc"
