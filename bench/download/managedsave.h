#ifndef QUILLET_BENCH_MANAGEDSAVE_H
#define QUILLET_BENCH_MANAGEDSAVE_H

#include "childprocess.h"

#include <QString>

#include <functional>

class SiteSpecificWebView;

// One save as a user makes it: `start` makes the view meet the content, the
// save dialog gets `target`, the download manager writes it. Timed from the
// dialog's answer to the manager's release; the peak memory growth is
// measured from just before `start`.
struct ManagedSave {
    double seconds = 0;  // 0 when the manager never finished
    long growthKiB = 0;
};
ManagedSave saveThroughManager(SiteSpecificWebView& view, const QString& target,
                               const std::function<void()>& start);

// The baseline: `curl -s -o file url` run in folder. Not run, and false from
// curlFound(), when curl is not installed.
bool curlFound();
ChildResult curlDownload(const QString& url, const QString& file, const QString& folder);

#endif
