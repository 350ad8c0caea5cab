// Start-up benchmark: launch -> start page loaded -> exit, for Quillet and for
// a bare QtWebKit program loading the same page from the same bundle,
// interleaved. Prints the medians and the ratios Quillet / bare.
//
//   startupbench [runs]      (default 15 runs of each)
// Uses the display in DISPLAY if there is one, else QT_QPA_PLATFORM=offscreen.
#include "benchsupport.h"
#include "childprocess.h"
#include "isolatedenvironment.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

// A program's own install folder (its executable and the bundle) and home.
struct Installation {
    IsolatedEnvironment environment{false};
    std::string executable;
    std::vector<std::string> variables;

    explicit Installation(const fs::path& program)
    {
        const fs::path folder = environment.root() / "install";
        fs::create_directories(folder);
        executable = (folder / program.filename()).string();
        fs::copy_file(program, executable);
        fs::copy_file(BENCH_BUNDLE_DIR "/Widget.rcc", folder / "Widget.rcc");
        fs::copy_file(BENCH_BUNDLE_DIR "/icon.ico", folder / "icon.ico");
        for (const auto& [name, value] : environment.variables())
            variables.push_back(name + "=" + value);
        if (!std::getenv("DISPLAY"))
            variables.push_back("QT_QPA_PLATFORM=offscreen");
    }
    ChildResult run() const { return runChild({executable}, 60000, environment.root(), variables); }
};

}  // namespace

int main(int argc, char* argv[])
{
    int runs = 15;
    readBenchArguments(argc, argv, "startupbench [runs (15)]", {&runs});
    const Installation quillet(QUILLET_EXE), bare(BARE_EXE);

    std::vector<double> quilletTime, bareTime, quilletMem, bareMem;
    for (int i = 0; i < runs + 1; ++i) {
        // The first round warms the file cache and is not counted.
        const ChildResult b = bare.run();
        const ChildResult q = quillet.run();
        if (!b.ok() || !q.ok()) {
            std::fprintf(stderr, "run %d failed (bare exit %d signal %d, quillet exit %d signal %d)\n", i,
                         b.exitCode, b.signal, q.exitCode, q.signal);
            return 1;
        }
        if (i == 0)
            continue;
        bareTime.push_back(b.seconds);
        quilletTime.push_back(q.seconds);
        bareMem.push_back(double(b.peakKiB) / 1024);
        quilletMem.push_back(double(q.peakKiB) / 1024);
    }
    const double qt = median(quilletTime), bt = median(bareTime);
    const double qm = median(quilletMem), bm = median(bareMem);
    std::printf("start-up to loaded page and exit, %d runs each, %s\n", runs,
                std::getenv("DISPLAY") ? "on the display" : "offscreen");
    std::printf("  bare QtWebKit : %.3f s  %.1f MiB peak\n", bt, bm);
    std::printf("  Quillet       : %.3f s  %.1f MiB peak\n", qt, qm);
    std::printf("  ratio (Quillet / bare): time %.3fx  peak memory %.3fx  (target <= 1.10x)\n",
                qt / bt, qm / bm);
    return 0;
}
