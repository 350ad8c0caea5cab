// Start-up benchmark: launch -> start page loaded -> exit, for Quillet, for
// Quillet on the same page with a manifest (own name, icon and folders), and
// for a bare QtWebKit program loading the same page from the same bundle; and
// when the build has it, for quillet-webengine against a bare Qt WebEngine
// program. All interleaved; prints the medians, the ratios of each program to
// the bare program of its engine, and the ratios between the engines. Peak
// memory is summed over each program's processes (Qt WebEngine's helpers).
//
//   startupbench [runs]      (default 15 runs of each)
// Uses the display in DISPLAY if there is one, else QT_QPA_PLATFORM=offscreen.
#include "benchsupport.h"
#include "childprocess.h"
#include "isolatedenvironment.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A program's own install folder (its executable and the bundle) and home.
struct Installation {
    IsolatedEnvironment environment{false};
    std::string executable;
    std::vector<std::string> variables;

    explicit Installation(const fs::path& program, const fs::path& bundle)
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
            variables.insert(variables.end(),
                             {"QT_QPA_PLATFORM=offscreen", "QT_QPA_OFFSCREEN_NO_GLX=1"});
        // Chromium's sandbox refuses to run as root; a normal user keeps it.
        if (geteuid() == 0)
            variables.push_back("QTWEBENGINE_DISABLE_SANDBOX=1");
    }
    ChildResult run() const
    {
        return runChild({executable}, 60000, environment.root(), variables, MemoryOf::Tree);
    }
};

struct Variant {
    const char* label;
    size_t bare;  // the bare program of its engine
    Installation installation;
    std::vector<double> time, memory;

    Variant(const char* label, size_t bare, const fs::path& program,
            const fs::path& bundle = BENCH_BUNDLE_DIR)
        : label(label)
        , bare(bare)
        , installation(program, bundle)
    {
    }
    double medianTime() const { return median(time); }
    double medianMemory() const { return median(memory); }
};

// Helper processes that outlive their program come to this process (a child
// subreaper); each run waits for them, at most 5 s, so that the next program
// does not start beside them.
void awaitOrphans()
{
    for (int waited = 0; waited < 5000 && waitpid(-1, nullptr, WNOHANG) >= 0; ++waited)
        usleep(1000);
}

}  // namespace

int main(int argc, char* argv[])
{
    int runs = 15;
    readBenchArguments(argc, argv, "startupbench [runs (15)]", {&runs});
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    std::deque<Variant> variants;
    variants.emplace_back("bare QtWebKit", 0, BARE_EXE);
    variants.emplace_back("Quillet", 0, QUILLET_EXE);
    variants.emplace_back("Quillet, manifest", 0, QUILLET_EXE, MANIFEST_BUNDLE_DIR);
#ifdef QUILLET_WEBENGINE_EXE
    variants.emplace_back("bare Qt WebEngine", 3, BARE_WEBENGINE_EXE);
    variants.emplace_back("quillet-webengine", 3, QUILLET_WEBENGINE_EXE);
#endif

    for (int i = 0; i < runs + 1; ++i) {
        // The first round warms the file cache and is not counted.
        for (Variant& v : variants) {
            const ChildResult r = v.installation.run();
            awaitOrphans();
            if (!r.ok()) {
                std::fprintf(stderr, "run %d of %s failed (exit %d signal %d)%s\n%s\n", i, v.label,
                             r.exitCode, r.signal, r.timedOut ? ", timed out" : "",
                             r.output.c_str());
                return 1;
            }
            if (i > 0) {
                v.time.push_back(r.seconds);
                v.memory.push_back(double(r.peakKiB) / 1024);
            }
        }
    }
    std::printf("start-up to loaded page and exit, %d runs each, %s;"
                " peak memory summed over each program's processes\n",
                runs, std::getenv("DISPLAY") ? "on the display" : "offscreen");
    for (const Variant& v : variants)
        std::printf("  %-18s %.3f s (%.3f to %.3f)  %.1f MiB peak\n", v.label, v.medianTime(),
                    *std::min_element(v.time.begin(), v.time.end()),
                    *std::max_element(v.time.begin(), v.time.end()), v.medianMemory());
    for (const Variant& v : variants)
        if (&v != &variants[v.bare])
            std::printf("  ratio %s / %s: time %.3fx  peak memory %.3fx  (target <= 1.10x)\n",
                        v.label, variants[v.bare].label,
                        v.medianTime() / variants[v.bare].medianTime(),
                        v.medianMemory() / variants[v.bare].medianMemory());
    if (variants.size() > 3)
        for (const auto& [webengine, webkit] : {std::pair{3, 0}, std::pair{4, 1}})
            std::printf("  engines, %s / %s: time %.3fx  peak memory %.3fx\n",
                        variants[webengine].label, variants[webkit].label,
                        variants[webengine].medianTime() / variants[webkit].medianTime(),
                        variants[webengine].medianMemory() / variants[webkit].medianMemory());
    return 0;
}
