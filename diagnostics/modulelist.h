#ifndef QUILLET_DIAGNOSTICS_MODULELIST_H
#define QUILLET_DIAGNOSTICS_MODULELIST_H

#include <cstdint>
#include <string>
#include <vector>

namespace com { namespace corvane { namespace vesk {

// The modules (executable and shared libraries) loaded in this process, so
// that the addresses of a crash report can be resolved once the process is
// gone. Written beside the report as one line per module:
//   <start>-<end> <build ID> <path>
// start and end in hexadecimal (the range its loadable segments cover), the
// build ID in hexadecimal or "-" when it has none, the path to the line end.
class ModuleList {
public:
    struct Module {
        uintptr_t start = 0;
        uintptr_t end = 0;
        std::string buildId;
        std::string path;
    };

    // From the dynamic loader's list. Not for signal context (it locks).
    static std::vector<Module> loaded();

    // "<report path less .xml>.modules.txt"
    static std::string pathBeside(const std::string& reportPath);
    // Writes loaded() beside the report; false when it could not be written.
    static bool writeBeside(const std::string& reportPath);
    static bool write(const std::string& path, const std::vector<Module>& modules);
    // The modules of a list file; lines that do not parse are skipped.
    static std::vector<Module> read(const std::string& path);
};

}}}  // namespace com::corvane::vesk

#endif
