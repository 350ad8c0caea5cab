#include "isolatedenvironment.h"

#include "platform/registry.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

IsolatedEnvironment::IsolatedEnvironment(bool applyHere)
{
    std::string pattern = (fs::temp_directory_path() / "quillet-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    m_root = pattern;
    fs::create_directories(home());
    fs::create_directories(m_root / "run");
    fs::permissions(m_root / "run", fs::perms::owner_all);
    if (!applyHere)
        return;
    for (const auto& [name, value] : variables())
        setenv(name.c_str(), value.c_str(), 1);
    platform::Registry::instance().reload();
}

IsolatedEnvironment::~IsolatedEnvironment()
{
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

std::vector<std::pair<std::string, std::string>> IsolatedEnvironment::variables() const
{
    return {{"HOME", home()},
            {"XDG_CONFIG_HOME", configFolder()},
            {"XDG_DATA_HOME", dataFolder()},
            {"XDG_RUNTIME_DIR", m_root / "run"},
            {"QUILLET_REGISTRY", registryPath()}};
}

void IsolatedEnvironment::writeRegistry(const std::string& bytes) const
{
    std::ofstream(registryPath(), std::ios::binary) << bytes;
    platform::Registry::instance().reload();
}

std::vector<std::string> IsolatedEnvironment::crashReports() const
{
    std::vector<std::string> files;
    std::error_code none;
    for (const auto& entry : fs::directory_iterator(sdkFolder() / "CrashReports", none))
        if (entry.path().extension() == ".xml")  // not the module lists beside them
            files.push_back(entry.path().string());
    return files;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
