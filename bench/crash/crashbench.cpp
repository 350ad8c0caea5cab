// Time from a fault to the crash report on disk, to the crash-report event at
// the local dispatcher service, and to the end of the process, median over
// repeated child runs. Baseline: the same fault in a child without a runtime
// context, which the kernel ends at once.
//
//   crashbench [runs]   (default 15)

#include "benchsupport.h"
#include "childprocess.h"
#include "dispatcherprocess.h"
#include "isolatedenvironment.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/stat.h>
#include <vector>

namespace {

// The "time" of a dispatcher log entry, "2026-12-06T21:27:21.476Z", in ns since the epoch.
long long receivedAt(const std::string& time)
{
    tm parts{};
    int millis = 0;
    if (std::sscanf(time.c_str(), "%d-%d-%dT%d:%d:%d.%dZ", &parts.tm_year, &parts.tm_mon,
                    &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &millis)
        != 7)
        return 0;
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    return (long long)timegm(&parts) * 1000000000LL + millis * 1000000LL;
}

long long modifiedAt(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return 0;
    return (long long)info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
}

}  // namespace

int main(int argc, char* argv[])
{
    int runs = 15;
    readBenchArguments(argc, argv, "crashbench [runs (15)]", {&runs});
    std::vector<double> baseline, toReport, toEvent, toExit;
    int reported = 0;
    for (int i = 0; i < runs; ++i) {
        // A private home for the child, its reports and the registry file.
        const IsolatedEnvironment environment;
        const ChildResult plain = runChild({FAULT_CHILD, "null-write", "--unarmed"}, 10000);
        baseline.push_back(plain.faultToExitSeconds() * 1000);
        DispatcherProcess dispatcher({}, environment.root() / "messages.jsonl");
        environment.writeRegistry(linkRegistry(dispatcher.port(), 0));
        const ChildResult result = runChild({FAULT_CHILD, "null-write"}, 20000);
        const std::vector<std::string> reports = environment.crashReports();
        auto events = dispatcher.messages("crash_report_set");
        const long long written = reports.size() == 1 ? modifiedAt(reports[0]) : 0;
        if (reports.size() != 1 || events.size() != 1 || result.faultAt(true) == 0)
            continue;
        ++reported;
        toReport.push_back(double(written - result.faultAt(true)) / 1e6);
        toEvent.push_back(double(receivedAt(events[0]["time"]) - result.faultAt(true)) / 1e6);
        toExit.push_back(result.faultToExitSeconds() * 1000);
    }
    const double base = median(baseline);
    std::printf("crash report latency, median of %d runs (%d reported)\n", runs, reported);
    std::printf("  baseline: fault to exit without handler   %8.2f ms\n", base);
    std::printf("  fault to report file written              %8.2f ms (file time: kernel tick)\n",
                median(toReport));
    std::printf("  fault to crash_report_set at the service  %8.2f ms (1 ms resolution)\n",
                median(toEvent));
    // The store link awaits each reply in rounds of 100 ms, which sets the pace.
    std::printf("  fault to exit (event acknowledged, link closed) %8.2f ms  = %.1fx baseline\n",
                median(toExit), base > 0 ? median(toExit) / base : 0.0);
    std::printf("  fastest / slowest fault to exit           %8.2f / %.2f ms\n",
                toExit.empty() ? 0 : *std::min_element(toExit.begin(), toExit.end()),
                toExit.empty() ? 0 : *std::max_element(toExit.begin(), toExit.end()));
    return reported == runs ? 0 : 1;
}
