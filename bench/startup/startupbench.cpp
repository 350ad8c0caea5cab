// Start-up benchmark: launch -> start page loaded -> exit, for Quillet, for
// Quillet on the same page with a manifest (own name, icon and folders), and
// for a bare QtWebKit program loading the same page from the same bundle,
// interleaved. Prints the medians and the ratios to bare.
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

    explicit Installation(const fs::path& program, const fs::path& bundle = BENCH_BUNDLE_DIR)
    {
        const fs::path folder = environment.root() / "install";
        fs::create_directories(folder);
        executable = (folder / program.filename()).string();
        fs::copy_file(program, executable);
        fs::copy_file(bundle / "Widget.rcc", folder / "Widget.rcc");
        fs::copy_file(bundle / "icon.ico", folder / "icon.ico");
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
    struct Variant {
        const char* label;
        Installation installation;
        std::vector<double> time, memory;
    } variants[] = {{"bare QtWebKit     ", Installation(BARE_EXE), {}, {}},
                    {"Quillet           ", Installation(QUILLET_EXE), {}, {}},
                    {"Quillet, manifest ", Installation(QUILLET_EXE, MANIFEST_BUNDLE_DIR), {}, {}}};

    for (int i = 0; i < runs + 1; ++i) {
        // The first round warms the file cache and is not counted.
        for (Variant& v : variants) {
            const ChildResult r = v.installation.run();
            if (!r.ok()) {
                std::fprintf(stderr, "run %d of %s failed (exit %d signal %d)\n", i, v.label,
                             r.exitCode, r.signal);
                return 1;
            }
            if (i > 0) {
                v.time.push_back(r.seconds);
                v.memory.push_back(double(r.peakKiB) / 1024);
            }
        }
    }
    const double bt = median(variants[0].time), bm = median(variants[0].memory);
    std::printf("start-up to loaded page and exit, %d runs each, %s\n", runs,
                std::getenv("DISPLAY") ? "on the display" : "offscreen");
    for (const Variant& v : variants)
        std::printf("  %s: %.3f s  %.1f MiB peak\n", v.label, median(v.time), median(v.memory));
    for (const Variant* v : {&variants[1], &variants[2]})
        std::printf("  ratio (%s/ bare): time %.3fx  peak memory %.3fx  (target <= 1.10x)\n",
                    v->label, median(v->time) / bt, median(v->memory) / bm);
    return 0;
}
