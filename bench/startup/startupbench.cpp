// Start-up benchmark: launch -> start page loaded -> exit, for Quillet, for
// Quillet on the same page with a manifest (own name, icon and folders), and
// for a bare QtWebKit program loading the same page from the same bundle,
// interleaved. Prints the medians and the ratios to bare.
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

std::string prepareFolder(const fs::path& root, const std::string& name, const fs::path& exe,
                          const fs::path& bundle = BENCH_BUNDLE_DIR)
{
    const fs::path folder = root / name;
    fs::create_directories(folder / "home/run");
    fs::permissions(folder / "home/run", fs::perms::owner_all);
    fs::copy_file(exe, folder / exe.filename(), fs::copy_options::overwrite_existing);
    fs::copy_file(bundle / "Widget.rcc", folder / "Widget.rcc",
                  fs::copy_options::overwrite_existing);
    fs::copy_file(bundle / "icon.ico", folder / "icon.ico",
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
    const std::string withManifest =
        prepareFolder(root, "manifest", QUILLET_EXE, MANIFEST_BUNDLE_DIR);
    // The folder name tells the runs apart; the executables are the same.
    struct Variant {
        const char* label;
        std::string exe, home;
        std::vector<double> time, memory;
    } variants[] = {{"bare QtWebKit     ", bare, "bare/home", {}, {}},
                    {"Quillet           ", quillet, "quillet/home", {}, {}},
                    {"Quillet, manifest ", withManifest, "manifest/home", {}, {}}};

    for (int i = 0; i < runs + 1; ++i) {
        // The first round warms the file cache and is not counted.
        for (Variant& v : variants) {
            const RunResult r = runChild({v.exe}, root.string(), environmentFor(root / v.home), 60);
            if (!r.ok) {
                std::fprintf(stderr, "run %d of %s failed (status %d)\n", i, v.label, r.status);
                return 1;
            }
            if (i > 0) {
                v.time.push_back(r.seconds);
                v.memory.push_back(double(r.peakKiB) / 1024);
            }
        }
    }
    fs::remove_all(root);

    const double bt = median(variants[0].time), bm = median(variants[0].memory);
    std::printf("start-up to loaded page and exit, %d runs each, %s\n", runs,
                std::getenv("DISPLAY") ? "on the display" : "offscreen");
    for (const Variant& v : variants)
        std::printf("  %s: %.3f s  %.1f MiB peak\n", v.label, median(v.time), median(v.memory));
    for (const Variant& v : {variants[1], variants[2]})
        std::printf("  ratio (%s/ bare): time %.3fx  peak memory %.3fx  (target <= 1.10x)\n",
                    v.label, median(v.time) / bt, median(v.memory) / bm);
    return 0;
}
