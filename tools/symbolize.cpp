// quillet-symbolize REPORT: names the call stack entries of a crash report.
//
// Reads the addresses of the report's call stack and the module list written
// beside it, and prints one line per entry: its number, address, the module
// and the offset into it, and the function with its file and line where the
// module's debug information (or its separate debug file) gives them.

#include "diagnostics/modulelist.h"

#include <cxxabi.h>
#include <elfutils/libdwfl.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <string>
#include <vector>

using com::corvane::vesk::ModuleList;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The address of each StackFrame of the report's ErrorData, 0 for an entry
// without one. Empty when the report has no call stack.
std::vector<uintptr_t> stackAddresses(const std::string& report)
{
    std::vector<uintptr_t> addresses;
    const auto begin = report.find("<ErrorData>"), end = report.find("</ErrorData>");
    if (begin == std::string::npos || end == std::string::npos)
        return addresses;
    const std::string data = report.substr(begin, end - begin);
    static const std::regex frame("<StackFrame>[\\s\\S]*?</StackFrame>");
    static const std::regex address("<Address>\\(0x([0-9A-Fa-f]+)\\)</Address>");
    for (std::sregex_iterator it(data.begin(), data.end(), frame), none; it != none; ++it) {
        std::smatch m;
        const std::string text = it->str();
        addresses.push_back(std::regex_search(text, m, address)
                                ? uintptr_t(std::strtoull(m[1].str().c_str(), nullptr, 16))
                                : 0);
    }
    return addresses;
}

std::string demangled(const char* name)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> text(
        abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
    return status == 0 && text ? std::string(text.get()) : std::string(name);
}

std::string baseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The hexadecimal build ID of a module's file as found, empty when none.
std::string buildIdOf(Dwfl_Module* module)
{
    const unsigned char* bits = nullptr;
    GElf_Addr vaddr = 0;
    const int length = dwfl_module_build_id(module, &bits, &vaddr);
    std::string text;
    char digits[3];
    for (int i = 0; i < length; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", bits[i]);
        text += digits;
    }
    return text;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2 || argv[1][0] == '-') {
        std::fputs("usage: quillet-symbolize REPORT\n"
                   "Prints each call stack entry of a crash report as module, offset, and\n"
                   "function with file and line, from the module list beside the report\n"
                   "(REPORT less .xml, plus .modules.txt).\n",
                   stderr);
        return 2;
    }
    const std::string reportPath = argv[1];
    const std::string report = readFile(reportPath);
    if (report.empty()) {
        std::fprintf(stderr, "quillet-symbolize: cannot read %s\n", reportPath.c_str());
        return 1;
    }
    const std::string listPath = ModuleList::pathBeside(reportPath);
    const std::vector<ModuleList::Module> modules = ModuleList::read(listPath);
    if (modules.empty()) {
        std::fprintf(stderr, "quillet-symbolize: no module list at %s\n", listPath.c_str());
        return 1;
    }

    char* debuginfoPath = nullptr;
    Dwfl_Callbacks callbacks{};
    callbacks.find_elf = dwfl_build_id_find_elf;
    callbacks.find_debuginfo = dwfl_standard_find_debuginfo;
    callbacks.section_address = dwfl_offline_section_address;
    callbacks.debuginfo_path = &debuginfoPath;
    Dwfl* dwfl = dwfl_begin(&callbacks);
    if (!dwfl) {
        std::fprintf(stderr, "quillet-symbolize: %s\n", dwfl_errmsg(-1));
        return 1;
    }
    dwfl_report_begin(dwfl);
    for (const ModuleList::Module& m : modules) {
        // Placed at the start of its range; a file that is gone is skipped.
        Dwfl_Module* module
            = dwfl_report_elf(dwfl, baseName(m.path).c_str(), m.path.c_str(), -1, m.start, false);
        if (module && !m.buildId.empty() && buildIdOf(module) != m.buildId)
            std::fprintf(stderr, "quillet-symbolize: %s has changed since the crash (build ID)\n",
                         m.path.c_str());
    }
    dwfl_report_end(dwfl, nullptr, nullptr);

    const std::vector<uintptr_t> addresses = stackAddresses(report);
    if (addresses.empty())
        std::puts("(the report has no call stack entries)");
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const uintptr_t address = addresses[i];
        if (address == 0) {
            std::printf("#%-3zu (no address)\n", i);
            continue;
        }
        // The first entry is the faulting instruction; the others are return
        // addresses, so the call lies just before them.
        const GElf_Addr lookup = i == 0 ? address : address - 1;
        std::printf("#%-3zu 0x%016" PRIxPTR, i, address);
        Dwfl_Module* module = dwfl_addrmodule(dwfl, lookup);
        if (!module) {
            std::puts("  (in no listed module)");
            continue;
        }
        Dwarf_Addr start = 0;
        const char* name = dwfl_module_info(module, nullptr, &start, nullptr, nullptr, nullptr,
                                            nullptr, nullptr);
        std::printf("  %s+0x%" PRIx64, name ? name : "?", uint64_t(address - start));
        GElf_Off offset = 0;
        GElf_Sym symbol;
        const char* function
            = dwfl_module_addrinfo(module, lookup, &offset, &symbol, nullptr, nullptr, nullptr);
        std::printf("  %s", function ? demangled(function).c_str() : "??");
        int line = 0;
        const char* file = nullptr;
        if (Dwfl_Line* source = dwfl_module_getsrc(module, lookup))
            file = dwfl_lineinfo(source, nullptr, &line, nullptr, nullptr, nullptr);
        if (file)
            std::printf(" at %s:%d", file, line);
        std::putchar('\n');
    }
    dwfl_end(dwfl);
    return 0;
}
