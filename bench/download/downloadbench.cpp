// Downloads one file from a loopback server through the view, page and
// download manager, and with `curl -o`, in alternating rounds; prints the
// median throughput ratio and the program's peak memory growth during its
// downloads (after one small untimed download).
//
//   downloadbench [size in MiB (1024)] [rounds (3)]
#include "benchsupport.h"
#include "childprocess.h"
#include "isolatedenvironment.h"
#include "managedsave.h"
#include "recordinghttpserver.h"
#include "web/sitespecificwebview.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWebPage>

#include <cstdio>

namespace {

// One download of url into target through the view and its manager.
ManagedSave downloadThroughManager(SiteSpecificWebView& view, const QString& url,
                                   const QString& target)
{
    return saveThroughManager(view, target, [&] { view.load(QUrl(url)); });
}

bool saved(const ManagedSave& run, const QString& target, qint64 size)
{
    return run.seconds > 0 && QFileInfo(target).size() == size;
}

double mibPerSecond(qint64 size, double seconds)
{
    return seconds > 0 ? size / 1048576.0 / seconds : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    int sizeMiB = 1024, rounds = 3;
    readBenchArguments(argc, argv, "downloadbench [size in MiB (1024)] [rounds (3)]",
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

    // Once untimed: the first load and the first dialogs set up what every
    // later download reuses.
    const QString warmupFile = QDir(home).filePath("warmup.bin");
    if (!saved(downloadThroughManager(view, server.url("/files/warmup.bin"), warmupFile),
               warmupFile, 1 << 20)) {
        std::printf("warm-up download failed\n");
        return 1;
    }
    QFile::remove(warmupFile);

    std::vector<double> curlRates, managerRates;
    long peakGrowthKiB = 0;
    std::printf("download of %lld MiB over loopback, %d rounds\n", size / 1048576, rounds);
    for (int round = 1; round <= rounds; ++round) {
        const QString curlFile = home + "/curl.bin";
        const ChildResult curl = curlDownload(server.url("/files/data.bin"), curlFile, home);
        const bool curlOk = curl.ok() && QFileInfo(curlFile).size() == size;
        QFile::remove(curlFile);

        const QString target = home + "/saved.bin";
        const ManagedSave manager = downloadThroughManager(
            view, server.url(QString("/files/data%1.bin").arg(round)), target);
        const bool managerOk = saved(manager, target, size);
        QFile::remove(target);
        if (!curlOk || !managerOk) {
            std::printf("round %d failed (curl %s, manager %s)\n", round, curlOk ? "ok" : "failed",
                        managerOk ? "ok" : "failed");
            return 1;
        }
        curlRates.push_back(mibPerSecond(size, curl.seconds));
        managerRates.push_back(mibPerSecond(size, manager.seconds));
        peakGrowthKiB = qMax(peakGrowthKiB, manager.growthKiB);
        std::printf("round %d: curl %.0f MiB/s, manager %.0f MiB/s, peak growth %.1f MiB\n", round,
                    curlRates.back(), managerRates.back(), manager.growthKiB / 1024.0);
    }
    const double ratio = median(managerRates) / median(curlRates);
    std::printf("median: curl %.0f MiB/s, manager %.0f MiB/s\n", median(curlRates),
                median(managerRates));
    std::printf("throughput ratio manager/curl: %.2fx (target >= 0.80x)\n", ratio);
    std::printf("peak memory growth: %.1f MiB (target < 64 MiB)\n", peakGrowthKiB / 1024.0);
    return 0;
}
