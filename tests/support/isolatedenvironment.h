#ifndef QUILLET_TESTS_ISOLATEDENVIRONMENT_H
#define QUILLET_TESTS_ISOLATEDENVIRONMENT_H

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// A temporary folder, removed at the end, with a home, a runtime folder (0700)
// and the places (not created) of configuration, data and the registry file.
// applyHere points HOME, XDG_* and QUILLET_REGISTRY of this process at it and
// reads the registry again: before QSettings or QStandardPaths cache folders.
class IsolatedEnvironment {
public:
    explicit IsolatedEnvironment(bool applyHere = true);
    ~IsolatedEnvironment();
    IsolatedEnvironment(const IsolatedEnvironment&) = delete;
    IsolatedEnvironment& operator=(const IsolatedEnvironment&) = delete;

    const std::filesystem::path& root() const { return m_root; }
    std::filesystem::path home() const { return m_root / "home"; }
    std::filesystem::path configFolder() const { return m_root / "config"; }
    std::filesystem::path dataFolder() const { return m_root / "data"; }
    std::filesystem::path registryPath() const { return m_root / "registry.reg"; }
    // The store SDK's folder of the log and the crash reports.
    std::filesystem::path sdkFolder() const { return dataFolder() / "Corvane/CorvaneSkyfoldSDK"; }
    // The reports (.xml) in sdkFolder()/CrashReports, by path.
    std::vector<std::string> crashReports() const;
    // The variables, name and value, as applyHere sets them.
    std::vector<std::pair<std::string, std::string>> variables() const;

    // Writes the registry file (bytes as given) and reads it in.
    void writeRegistry(const std::string& bytes) const;

private:
    std::filesystem::path m_root;
};

std::string readFile(const std::filesystem::path& path);

#endif
