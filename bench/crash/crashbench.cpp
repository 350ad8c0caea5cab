// Time from a fault to the crash report on disk, to the crash-report event at
// the local dispatcher service, and to the end of the process, median over
// repeated child runs, for the call-frame unwinder and the frame-pointer walk.
// Baseline: the same fault in a child without a runtime context, which the
// kernel ends at once.
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
#include <string>
#include <sys/stat.h>
#include <utility>
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

struct Latency {
    std::vector<double> toReport, toEvent, toExit;
    int reported = 0;
};

// Runs the fault child `runs` times with the local dispatcher service and
// collects the times from its fault to the report file, the event and its end.
Latency measure(int runs, const std::vector<std::string>& child, std::vector<double>* baseline)
{
    Latency latency;
    for (int i = 0; i < runs; ++i) {
        // A private home for the child, its reports and the registry file.
        const IsolatedEnvironment environment;
        if (baseline) {
            const ChildResult plain = runChild({FAULT_CHILD, "null-write", "--unarmed"}, 10000);
            baseline->push_back(plain.faultToExitSeconds() * 1000);
        }
        DispatcherProcess dispatcher({}, environment.root() / "messages.jsonl");
        environment.writeRegistry(linkRegistry(dispatcher.port(), 0));
        std::vector<std::string> argv{FAULT_CHILD};
        argv.insert(argv.end(), child.begin(), child.end());
        const ChildResult result = runChild(argv, 20000);
        const std::vector<std::string> reports = environment.crashReports();
        auto events = dispatcher.messages("crash_report_set");
        const long long written = reports.size() == 1 ? modifiedAt(reports[0]) : 0;
        if (reports.size() != 1 || events.size() != 1 || result.faultAt(true) == 0)
            continue;
        ++latency.reported;
        latency.toReport.push_back(double(written - result.faultAt(true)) / 1e6);
        latency.toEvent.push_back(double(receivedAt(events[0]["time"]) - result.faultAt(true))
                                  / 1e6);
        latency.toExit.push_back(result.faultToExitSeconds() * 1000);
    }
    return latency;
}

}  // namespace

int main(int argc, char* argv[])
{
    int runs = 15;
    readBenchArguments(argc, argv, "crashbench [runs (15)]", {&runs});
    // A shallow stack, and one through the Qt event loop (more modules whose
    // call-frame information the unwinder reads).
    const char* const faults[] = {"null-write", "event-loop-slot"};
    const std::pair<const char*, const char*> walks[]
        = {{"unwind", nullptr}, {"frame pointers", "--frame-pointers"}};
    std::vector<double> baseline;
    std::vector<std::pair<std::string, Latency>> rows;
    for (const char* fault : faults)
        for (const auto& walk : walks) {
            std::vector<std::string> child{fault};
            if (walk.second)
                child.push_back(walk.second);
            rows.emplace_back(std::string(fault) + ", " + walk.first,
                              measure(runs, child, baseline.empty() ? &baseline : nullptr));
        }
    const double base = median(baseline);
    bool allReported = true, inTime = true;
    std::printf("crash report latency, median of %d runs each (ms)\n", runs);
    std::printf("  baseline: fault to exit without handler %8.2f\n", base);
    std::printf("  %-30s %9s %9s %9s %9s\n", "fault, walk", "report", "event", "exit", "exit/base");
    for (const auto& row : rows) {
        const Latency& l = row.second;
        std::printf("  %-30s %9.2f %9.2f %9.2f %8.1fx   (%d of %d reported)\n", row.first.c_str(),
                    median(l.toReport), median(l.toEvent), median(l.toExit),
                    base > 0 ? median(l.toExit) / base : 0.0, l.reported, runs);
        allReported = allReported && l.reported == runs;
        inTime = inTime && median(l.toReport) <= 10.0;
    }
    // The report time is the file's modification time: kernel tick resolution.
    // The event waits for the link's next 100 ms round before the reply is seen.
    std::printf("  report on disk within 10 ms of the fault: %s\n", inTime ? "yes" : "NO");
    return allReported && inTime ? 0 : 1;
}
