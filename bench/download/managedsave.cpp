#include "managedsave.h"

#include "childprocess.h"
#include "modalanswerer.h"
#include "web/sitespecificwebview.h"
#include "web/zemdownloadmgr.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QStandardPaths>
#include <QTimer>

namespace {

// Clears the process's peak resident size, so VmHWM measures from here.
void resetPeakMemory()
{
    QFile clearRefs("/proc/self/clear_refs");
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

}  // namespace

ManagedSave saveThroughManager(SiteSpecificWebView& view, const QString& target,
                               const std::function<void()>& start)
{
    ManagedSave run;
    QElapsedTimer clock;
    QEventLoop loop;
    const ModalAnswerer answerer(
        [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog)
                return;
            clock.start();
            ModalAnswerer::typeFileName(dialog, target);
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
        },
        10);
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);

    const long before = memoryKiB("VmRSS:");
    resetPeakMemory();
    start();
    loop.exec();
    run.growthKiB = memoryKiB("VmHWM:") - before;
    return run;
}

static QString curlPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("curl"));
}

bool curlFound()
{
    return !curlPath().isEmpty();
}

ChildResult curlDownload(const QString& url, const QString& file, const QString& folder)
{
    return runChild({curlPath().toStdString(), "-s", "-o", file.toStdString(), url.toStdString()},
                    600000, folder.toStdString());
}
