// Start-up benchmark: launch -> start page loaded -> exit, for Quillet and for
// a bare QtWebKit program loading the same page from the same bundle,
// interleaved. Prints the medians and the ratios Quillet / bare.
//
//   startupbench [runs]      (default 15 runs of each)
// Uses the display in DISPLAY if there is one, else QT_QPA_PLATFORM=offscreen.
#include "bench/support/benchrun.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string prepareFolder(const fs::path& root, const std::string& name, const fs::path& exe)
{
    const fs::path folder = root / name;
    fs::create_directories(folder / "home/run");
    fs::permissions(folder / "home/run", fs::perms::owner_all);
    fs::copy_file(exe, folder / exe.filename(), fs::copy_options::overwrite_existing);
    fs::copy_file(BENCH_BUNDLE_DIR "/Widget.rcc", folder / "Widget.rcc",
                  fs::copy_options::overwrite_existing);
    fs::copy_file(BENCH_BUNDLE_DIR "/icon.ico", folder / "icon.ico",
                  fs::copy_options::overwrite_existing);
    return (folder / exe.filename()).string();
}

std::vector<std::string> environmentFor(const fs::path& home)
{
    std::vector<std::string> env = {"HOME=" + home.string(),
                                    "XDG_CONFIG_HOME=" + (home / ".config").string(),
                                    "XDG_DATA_HOME=" + (home / ".local/share").string(),
                                    "XDG_RUNTIME_DIR=" + (home / "run").string()};
    if (!std::getenv("DISPLAY"))
        env.push_back("QT_QPA_PLATFORM=offscreen");
    return env;
}

}  // namespace

int main(int argc, char* argv[])
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    const fs::path root = fs::temp_directory_path() / ("quillet-startup-" + std::to_string(getpid()));
    const std::string quillet = prepareFolder(root, "quillet", QUILLET_EXE);
    const std::string bare = prepareFolder(root, "bare", BARE_EXE);

    std::vector<double> quilletTime, bareTime, quilletMem, bareMem;
    for (int i = 0; i < runs + 1; ++i) {
        // The first round warms the file cache and is not counted.
        const RunResult b = runChild({bare}, root.string(), environmentFor(root / "bare/home"), 60);
        const RunResult q =
            runChild({quillet}, root.string(), environmentFor(root / "quillet/home"), 60);
        if (!b.ok || !q.ok) {
            std::fprintf(stderr, "run %d failed (bare status %d, quillet status %d)\n", i,
                         b.status, q.status);
            return 1;
        }
        if (i == 0)
            continue;
        bareTime.push_back(b.seconds);
        quilletTime.push_back(q.seconds);
        bareMem.push_back(double(b.peakKiB) / 1024);
        quilletMem.push_back(double(q.peakKiB) / 1024);
    }
    fs::remove_all(root);

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
