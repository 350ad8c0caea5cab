#ifndef QUILLET_PLATFORM_REGISTRY_H
#define QUILLET_PLATFORM_REGISTRY_H

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace platform {

enum class RegistryRoot { CurrentUser, LocalMachine };

// REG_SZ and REG_DWORD are kept apart: some readers count a value only when it
// has the expected type.
enum class RegistryValueType { String, DWord };

struct RegistryValue {
    RegistryValueType type = RegistryValueType::String;
    std::wstring text;    // the text of a String value
    uint32_t number = 0;  // the number of a DWord value
};

// Stand-in for the Windows registry. Reads a text file in the ".reg" export
// format (see registryfilepath()); a missing file is an empty registry. Keys
// created at run time live in memory only. Key paths use "\" and compare
// without regard to case, as on Windows. Thread-safe.
class Registry {
public:
    // The process-wide registry; the file is read on first use.
    static Registry& instance();

    // Whether the key exists (what RegOpenKeyEx would find).
    bool keyExists(RegistryRoot root, const std::wstring& key) const;
    // Create-or-open (RegCreateKeyEx). Returns true when the key already
    // existed, false when it was created now (volatile: memory only).
    bool createKey(RegistryRoot root, const std::wstring& key);
    // The value, or nothing when the key or the value is missing.
    std::optional<RegistryValue> value(RegistryRoot root, const std::wstring& key,
                                       const std::wstring& name) const;

    // The text of a string value; empty when the key or the value is missing
    // or the value is not a string. Never throws.
    std::wstring stringValue(RegistryRoot root, const std::wstring& key,
                             const std::wstring& name) const;
    // The number of a DWORD value; nothing when the key or the value is
    // missing or the value is not a DWORD.
    std::optional<uint32_t> dwordValue(RegistryRoot root, const std::wstring& key,
                                       const std::wstring& name) const;

    // Forget everything and read the file again (tests; a changed environment).
    void reload();

    // QUILLET_REGISTRY, else $XDG_CONFIG_HOME/Corvane/registry.reg
    // (~/.config/Corvane/registry.reg).
    static std::string registryFilePath();

private:
    Registry();
    struct Data;
    Data* m_data;
    mutable std::mutex m_mutex;
};

}  // namespace platform

#endif
