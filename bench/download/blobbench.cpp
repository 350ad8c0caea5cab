// Saves a blob: link of a page (what a client-side editor's "Export" button
// makes) through the download hook and manager, against `curl -o` of the same
// number of bytes from a loopback server, in alternating rounds. Prints the
// median time ratio and the program's peak memory growth during the save,
// measured from the moment the blob exists, in MiB and in blob sizes.
//
//   blobbench [size in MiB (100)] [rounds (3)]
#include "benchsupport.h"
#include "childprocess.h"
#include "isolatedenvironment.h"
#include "managedsave.h"
#include "recordinghttpserver.h"
#include "web/sitespecificwebview.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QWebFrame>

#include <cstdio>

namespace {

// The file has `size` bytes, each MiB of them as `expected` (of 1 MiB) begins.
bool holds(const QString& path, qint64 size, const QByteArray& expected)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != size)
        return false;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 20);
        if (chunk != expected.left(chunk.size()))
            return false;
    }
    return true;
}

// Makes the blob in the page, then clicks an "Export" link to it; the save
// dialog gets the target. Timed from the dialog's answer to the manager's
// release; memory from just before the click.
ManagedSave saveBlob(SiteSpecificWebView& view, qint64 size, const QString& target)
{
    QWebFrame* frame = view.page()->mainFrame();
    frame->evaluateJavaScript(
        QString("var part = new Uint8Array(1 << 20);"
                "for (var i = 0; i < part.length; ++i) part[i] = 113;"
                "var parts = [], left = %1;"
                "for (; left > 0; left -= part.length)"
                "  parts.push(left >= part.length ? part : part.subarray(0, left));"
                "window.url = URL.createObjectURL(new Blob(parts)); parts = null;")
            .arg(size));
    QEventLoop settle;
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();

    return saveThroughManager(view, target, [&] {
        frame->evaluateJavaScript(
            "var a = document.createElement('a'); a.href = url;"
            "a.download = 'export.bin'; a.click(); URL.revokeObjectURL(url);");
    });
}

}  // namespace

int main(int argc, char** argv)
{
    int sizeMiB = 100, rounds = 3;
    readBenchArguments(argc, argv, "blobbench [size in MiB (100)] [rounds (3)]",
                       {&sizeMiB, &rounds});
    const qint64 size = sizeMiB * 1048576LL;
    const IsolatedEnvironment environment;
    const QString home = QString::fromStdString(environment.home());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!curlFound()) {
        std::printf("curl not found\n");
        return 1;
    }
    const HttpServerThread server(RecordingHttpServer::filesOf(size));
    SiteSpecificWebView view;
    view.setHtml("<body></body>", QUrl(server.url("/app.html")));

    std::vector<double> curlTimes, blobTimes;
    long peakGrowthKiB = 0;
    std::printf("blob: download of %lld MiB against curl over loopback, %d rounds\n",
                size / 1048576, rounds);
    for (int round = 1; round <= rounds; ++round) {
        const QString curlFile = home + "/curl.bin";
        const ChildResult curl = curlDownload(server.url("/files/data.bin"), curlFile, home);
        const bool curlOk
            = curl.ok() && holds(curlFile, size, RecordingHttpServer::pattern(0, 1 << 20));
        QFile::remove(curlFile);

        const QString target = home + "/export.bin";
        const ManagedSave saved = saveBlob(view, size, target);
        const bool savedOk = saved.seconds > 0 && holds(target, size, QByteArray(1 << 20, 'q'));
        QFile::remove(target);
        if (!curlOk || !savedOk) {
            std::printf("round %d failed (curl %s, blob %s)\n", round, curlOk ? "ok" : "failed",
                        savedOk ? "ok" : "failed");
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
