// Downloads one file from a loopback server through the view, page and
// download manager, and with `curl -o`, in alternating rounds; prints the
// median throughput ratio and the program's peak memory growth during its
// downloads (after one small untimed download).
//
//   downloadbench [size-in-MiB (1024)] [rounds (3)]
#include "bench/support/benchrun.h"
#include "bench/support/loopbackserver.h"
#include "web/sitespecificwebview.h"
#include "web/zemdownloadmgr.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebPage>


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

// Clears the process's peak resident size, so VmHWM measures from here.
void resetPeakMemory()
{
    QFile clearRefs("/proc/self/clear_refs");
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

struct ManagerRun {
    bool ok = false;
    double seconds = 0;
    long growthKiB = 0;
};

// One download as a user makes it: the view meets the file, the save dialog
// gets the target, the manager writes it. Timed from the dialog's answer to
// the manager's release.
ManagerRun downloadThroughManager(SiteSpecificWebView& view, const QString& url,
                                  const QString& target, qint64 size)
{
    ManagerRun run;
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
    view.load(QUrl(url));
    loop.exec();
    run.growthKiB = procStatusKiB("VmHWM:") - before;
    run.ok = run.seconds > 0 && QFileInfo(target).size() == size;
    return run;
}

double mibPerSecond(qint64 size, double seconds)
{
    return seconds > 0 ? size / 1048576.0 / seconds : 0;
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

    const qint64 size = (argc > 1 ? atoll(argv[1]) : 1024) * 1048576LL;
    const int rounds = argc > 2 ? atoi(argv[2]) : 3;
    const QString curlPath = QStandardPaths::findExecutable("curl");
    if (curlPath.isEmpty()) {
        std::printf("curl not found\n");
        return 1;
    }
    LoopbackServer server(size);
    SiteSpecificWebView view;

    // Once untimed: the first load and the first dialogs set up what every
    // later download reuses.
    const QString warmupFile = QDir(home.path()).filePath("warmup.bin");
    if (!downloadThroughManager(view, server.url("/files/warmup.bin"), warmupFile, 1 << 20).ok) {
        std::printf("warm-up download failed\n");
        return 1;
    }
    QFile::remove(warmupFile);

    std::vector<double> curlRates, managerRates;
    long peakGrowthKiB = 0;
    std::printf("download of %lld MiB over loopback, %d rounds\n", size / 1048576, rounds);
    for (int round = 1; round <= rounds; ++round) {
        const QString curlFile = home.path() + "/curl.bin";
        const RunResult curl = runChild({curlPath.toStdString(), "-s", "-o", curlFile.toStdString(),
                                         server.url("/files/data.bin").toStdString()},
                                        home.path().toStdString(), {}, 600);
        const bool curlOk = curl.ok && QFileInfo(curlFile).size() == size;
        QFile::remove(curlFile);

        const QString target = home.path() + "/saved.bin";
        const ManagerRun manager = downloadThroughManager(
            view, server.url(QString("/files/data%1.bin").arg(round)), target, size);
        QFile::remove(target);
        if (!curlOk || !manager.ok) {
            std::printf("round %d failed (curl %s, manager %s)\n", round, curlOk ? "ok" : "failed",
                        manager.ok ? "ok" : "failed");
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
