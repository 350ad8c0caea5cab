// Saves a blob: link of a page (what a client-side editor's "Export" button
// makes) through the download hook and manager, against `curl -o` of the same
// number of bytes from a loopback server, in alternating rounds. Prints the
// median time ratio and the program's peak memory growth during the save,
// measured from the moment the blob exists, in MiB and in blob sizes.
//
//   blobbench [size-in-MiB (100)] [rounds (3)]
#include "bench/support/benchrun.h"
#include "bench/support/loopbackserver.h"
#include "web/sitespecificwebview.h"
#include "web/zemdownloadmgr.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebFrame>

#include <cstdio>

namespace {

long procStatusKiB(const char* field)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    return -1;
}

void resetPeakMemory()
{
    QFile clearRefs("/proc/self/clear_refs");
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

// Every byte of the file is 'q', and there are `size` of them.
bool holdsTheBlob(const QString& path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != size)
        return false;
    const QByteArray expected(1 << 20, 'q');
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 20);
        if (chunk != expected.left(chunk.size()))
            return false;
    }
    return true;
}

struct SaveRun {
    bool ok = false;
    double seconds = 0;
    long growthKiB = 0;
};

// Makes the blob in the page, then clicks an "Export" link to it; the save
// dialog gets the target. Timed from the dialog's answer to the manager's
// release; memory from just before the click.
SaveRun saveBlob(SiteSpecificWebView& view, qint64 size, const QString& target)
{
    QWebFrame* frame = view.page()->mainFrame();
    frame->evaluateJavaScript(QString("var part = new Uint8Array(1 << 20);"
                                      "for (var i = 0; i < part.length; ++i) part[i] = 113;"
                                      "var parts = [], left = %1;"
                                      "for (; left > 0; left -= part.length)"
                                      "  parts.push(left >= part.length ? part : part.subarray(0, left));"
                                      "window.url = URL.createObjectURL(new Blob(parts)); parts = null;")
                                  .arg(size));
    QEventLoop settle;
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();

    SaveRun run;
    QElapsedTimer clock;
    QEventLoop loop;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(target);
        clock.start();
        QMetaObject::invokeMethod(dialog, "accept");
        QTimer::singleShot(0, &loop, [&] {
            ZemDownloadMgr* manager = view.page()->findChild<ZemDownloadMgr*>();
            if (!manager) {
                loop.quit();
                return;
            }
            QObject::connect(manager, &QObject::destroyed, &loop, [&] {
                run.seconds = clock.nsecsElapsed() / 1e9;
                loop.quit();
            });
        });
    });
    driver.start(10);
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);

    const long before = procStatusKiB("VmRSS:");
    resetPeakMemory();
    frame->evaluateJavaScript("var a = document.createElement('a'); a.href = url;"
                              "a.download = 'export.bin'; a.click(); URL.revokeObjectURL(url);");
    loop.exec();
    run.growthKiB = procStatusKiB("VmHWM:") - before;
    run.ok = run.seconds > 0 && holdsTheBlob(target, size);
    return run;
}

}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/.local/share").toUtf8());
    qputenv("QUILLET_REGISTRY", (home.path() + "/registry.reg").toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const qint64 size = (argc > 1 ? atoll(argv[1]) : 100) * 1048576LL;
    const int rounds = argc > 2 ? atoi(argv[2]) : 3;
    const QString curlPath = QStandardPaths::findExecutable("curl");
    if (curlPath.isEmpty()) {
        std::printf("curl not found\n");
        return 1;
    }
    LoopbackServer server(size, 'q');
    SiteSpecificWebView view;
    view.setHtml("<body></body>", QUrl(server.url("/app.html")));

    std::vector<double> curlTimes, blobTimes;
    long peakGrowthKiB = 0;
    std::printf("blob: download of %lld MiB against curl over loopback, %d rounds\n",
                size / 1048576, rounds);
    for (int round = 1; round <= rounds; ++round) {
        const QString curlFile = home.path() + "/curl.bin";
        const RunResult curl = runChild({curlPath.toStdString(), "-s", "-o", curlFile.toStdString(),
                                         server.url("/files/data.bin").toStdString()},
                                        home.path().toStdString(), {}, 600);
        const bool curlOk = curl.ok && holdsTheBlob(curlFile, size);
        QFile::remove(curlFile);

        const QString target = home.path() + "/export.bin";
        const SaveRun saved = saveBlob(view, size, target);
        QFile::remove(target);
        if (!curlOk || !saved.ok) {
            std::printf("round %d failed (curl %s, blob %s)\n", round, curlOk ? "ok" : "failed",
                        saved.ok ? "ok" : "failed");
            return 1;
        }
        curlTimes.push_back(curl.seconds);
        blobTimes.push_back(saved.seconds);
        peakGrowthKiB = qMax(peakGrowthKiB, saved.growthKiB);
        std::printf("round %d: curl %.3f s, blob %.3f s, peak growth %.1f MiB\n", round,
                    curl.seconds, saved.seconds, saved.growthKiB / 1024.0);
    }
    std::printf("median: curl %.3f s, blob %.3f s\n", median(curlTimes), median(blobTimes));
    std::printf("time ratio blob/curl: %.2fx\n", median(blobTimes) / median(curlTimes));
    std::printf("peak memory growth: %.1f MiB = %.2fx the blob (target <= 2x)\n",
                peakGrowthKiB / 1024.0, peakGrowthKiB * 1024.0 / double(size));
    return 0;
}
