#ifndef QUILLET_BENCH_BENCHRUN_H
#define QUILLET_BENCH_BENCHRUN_H

#include <algorithm>
#include <string>
#include <vector>

// One run of a child process: wall time and peak resident memory.
struct RunResult {
    bool ok = false;
    double seconds = 0;
    long peakKiB = 0;  // ru_maxrss of the child
    int status = 0;    // as wait4 gives it
};

// Runs argv[0] with argv, in folder, with extra "NAME=value" environment
// entries, and kills it after timeoutSeconds.
RunResult runChild(const std::vector<std::string>& argv, const std::string& folder,
                   const std::vector<std::string>& environment, double timeoutSeconds);

double median(std::vector<double> values);

#endif
