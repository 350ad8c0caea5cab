#include "modulelist.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <elf.h>
#include <fstream>
#include <link.h>
#include <unistd.h>

namespace com { namespace corvane { namespace vesk {

namespace {

std::string hex(const unsigned char* bytes, std::size_t count)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0xf];
    }
    return text;
}

std::size_t align4(std::size_t n)
{
    return (n + 3) & ~std::size_t(3);
}

// The GNU build ID among the notes of a loaded module.
std::string buildIdOf(const dl_phdr_info* info)
{
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_NOTE)
            continue;
        const auto* p = reinterpret_cast<const unsigned char*>(info->dlpi_addr + segment.p_vaddr);
        const unsigned char* end = p + segment.p_memsz;
        while (p + sizeof(ElfW(Nhdr)) <= end) {
            const auto* note = reinterpret_cast<const ElfW(Nhdr)*>(p);
            const unsigned char* name = p + sizeof(ElfW(Nhdr));
            const unsigned char* desc = name + align4(note->n_namesz);
            if (desc + note->n_descsz > end)
                break;
            if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4
                && std::memcmp(name, "GNU", 4) == 0)
                return hex(desc, note->n_descsz);
            p = desc + align4(note->n_descsz);
        }
    }
    return std::string();
}

std::string executablePath()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, std::size_t(n)) : std::string();
}

int addModule(dl_phdr_info* info, std::size_t, void* data)
{
    ModuleList::Module module;
    bool any = false;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD)
            continue;
        const uintptr_t align = segment.p_align ? segment.p_align : 1;
        const uintptr_t low = info->dlpi_addr + (segment.p_vaddr & ~(align - 1));
        const uintptr_t high = info->dlpi_addr + segment.p_vaddr + segment.p_memsz;
        module.start = any && module.start < low ? module.start : low;
        module.end = any && module.end > high ? module.end : high;
        any = true;
    }
    if (!any)
        return 0;
    module.path = info->dlpi_name && *info->dlpi_name ? info->dlpi_name : executablePath();
    module.buildId = buildIdOf(info);
    static_cast<std::vector<ModuleList::Module>*>(data)->push_back(module);
    return 0;
}

}  // namespace

std::vector<ModuleList::Module> ModuleList::loaded()
{
    std::vector<Module> modules;
    dl_iterate_phdr(addModule, &modules);
    return modules;
}

std::string ModuleList::pathBeside(const std::string& reportPath)
{
    const std::string suffix = ".xml";
    const bool xml
        = reportPath.size() >= suffix.size()
          && reportPath.compare(reportPath.size() - suffix.size(), suffix.size(), suffix) == 0;
    return (xml ? reportPath.substr(0, reportPath.size() - suffix.size()) : reportPath)
           + ".modules.txt";
}

bool ModuleList::writeBeside(const std::string& reportPath)
{
    return !reportPath.empty() && write(pathBeside(reportPath), loaded());
}

bool ModuleList::write(const std::string& path, const std::vector<Module>& modules)
{
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file)
        return false;
    for (const Module& m : modules)
        std::fprintf(file, "%016" PRIxPTR "-%016" PRIxPTR " %s %s\n", m.start, m.end,
                     m.buildId.empty() ? "-" : m.buildId.c_str(), m.path.c_str());
    const bool written = !std::ferror(file);
    return std::fclose(file) == 0 && written;
}

std::vector<ModuleList::Module> ModuleList::read(const std::string& path)
{
    std::vector<Module> modules;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        Module m;
        char buildId[256];
        int consumed = 0;
        if (std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR " %255s %n", &m.start, &m.end,
                        buildId, &consumed)
                != 3
            || consumed == 0 || std::size_t(consumed) >= line.size() || m.end <= m.start)
            continue;
        m.buildId = std::strcmp(buildId, "-") == 0 ? "" : buildId;
        m.path = line.substr(std::size_t(consumed));
        modules.push_back(m);
    }
    return modules;
}

}}}  // namespace com::corvane::vesk
