#include "registry.h"

#include "paths.h"
#include "registryfile.h"
#include "registrykeys.h"
#include "text.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace platform {

namespace {

using KeyId = std::pair<RegistryRoot, std::wstring>;  // root, normalised path

// Lower case, no empty components: "Software\\\\X\\" becomes "software\\x".
std::wstring normalisedKey(const std::wstring& path)
{
    std::wstring result;
    for (wchar_t c : lowered(path)) {
        if (c == L'\\' && (result.empty() || result.back() == L'\\'))
            continue;
        result.push_back(c);
    }
    if (!result.empty() && result.back() == L'\\')
        result.pop_back();
    return result;
}

bool isSameOrBelow(const std::wstring& key, const std::wstring& ancestor)
{
    if (ancestor.empty())
        return true;
    return key.compare(0, ancestor.size(), ancestor) == 0
           && (key.size() == ancestor.size() || key[ancestor.size()] == L'\\');
}

// A registry export of the store's keys is a few KiB; larger files are
// refused rather than read without end.
const long long kMaxFileBytes = 1024 * 1024;

const char* fileKind(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "a special file";
}

// The bytes of a regular file of at most kMaxFileBytes. Anything else gives
// nothing and, unless the file is simply missing, the reason in refusal. The
// file is opened without waiting, so a named pipe cannot hold the caller.
std::string readFile(const std::string& path, std::string& refusal)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            refusal = std::string("cannot be opened: ") + std::strerror(errno);
        return std::string();
    }
    std::string bytes;
    struct stat info { };
    if (::fstat(fd, &info) != 0) {
        refusal = std::string("cannot be examined: ") + std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        refusal = std::string("is ") + fileKind(info.st_mode) + ", not a regular file";
    } else if (info.st_size > kMaxFileBytes) {
        refusal = "is larger than " + std::to_string(kMaxFileBytes) + " bytes";
    } else {
        // Read one byte past the limit: the file may have grown meanwhile.
        bytes.resize(static_cast<size_t>(kMaxFileBytes) + 1);
        size_t filled = 0;
        while (filled < bytes.size()) {
            const ssize_t n = ::read(fd, &bytes[filled], bytes.size() - filled);
            if (n > 0) {
                filled += static_cast<size_t>(n);
            } else if (n == 0) {
                break;
            } else if (errno != EINTR) {
                refusal = std::string("cannot be read: ") + std::strerror(errno);
                break;
            }
        }
        bytes.resize(filled);
        if (filled > static_cast<size_t>(kMaxFileBytes))
            refusal = "is larger than " + std::to_string(kMaxFileBytes) + " bytes";
        if (!refusal.empty())
            bytes.clear();
    }
    ::close(fd);
    return bytes;
}

// PRETTY_NAME of os-release, unquoted; empty when unknown.
std::wstring osPrettyName()
{
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            if (line.compare(0, 12, "PRETTY_NAME=") != 0)
                continue;
            std::string value = line.substr(12);
            if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'')
                && value.back() == value[0])
                value = value.substr(1, value.size() - 2);
            return fromUtf8(value);
        }
    }
    return std::wstring();
}

std::wstring kernelRelease()
{
    utsname names{};
    if (uname(&names) != 0)
        return std::wstring();
    return fromUtf8(names.release);
}

RegistryValue textValue(const std::wstring& text)
{
    RegistryValue value;
    value.type = RegistryValueType::String;
    value.text = text;
    return value;
}

}  // namespace

struct Registry::Data {
    struct Key {
        std::map<std::wstring, RegistryValue> values;  // by lower-case name
        std::set<std::wstring> removedValues;          // "Name"=- in the file
    };
    std::map<KeyId, Key> keys;
    std::set<KeyId> removedKeys;  // [-HKEY_...] in the file

    void apply(const RegistryFile::Key& fileKey);
    void addDefault(RegistryRoot root, const std::wstring& key, const std::wstring& name,
                    const std::wstring& text);
};

void Registry::Data::apply(const RegistryFile::Key& fileKey)
{
    const KeyId id{fileKey.root, normalisedKey(fileKey.path)};
    if (fileKey.removed) {
        for (auto it = keys.begin(); it != keys.end();) {
            if (it->first.first == id.first && isSameOrBelow(it->first.second, id.second))
                it = keys.erase(it);
            else
                ++it;
        }
        removedKeys.insert(id);
        return;
    }
    removedKeys.erase(id);
    Key& key = keys[id];
    for (const RegistryFile::Value& value : fileKey.values) {
        const std::wstring name = lowered(value.name);
        if (value.removed) {
            key.values.erase(name);
            key.removedValues.insert(name);
        } else {
            key.values[name] = value.value;
            key.removedValues.erase(name);
        }
    }
}

// A value every Windows machine has, unless the file sets or removes it.
void Registry::Data::addDefault(RegistryRoot root, const std::wstring& key,
                                const std::wstring& name, const std::wstring& text)
{
    const KeyId id{root, normalisedKey(key)};
    for (const KeyId& removed : removedKeys) {
        if (removed.first == root && isSameOrBelow(id.second, removed.second))
            return;
    }
    Key& stored = keys[id];
    const std::wstring lowerName = lowered(name);
    if (text.empty() || stored.values.count(lowerName) || stored.removedValues.count(lowerName))
        return;
    stored.values[lowerName] = textValue(text);
}

Registry& Registry::instance()
{
    // Never destroyed: a late log statement at exit may still read it.
    static Registry* registry = new Registry();
    return *registry;
}

Registry::Registry()
    : m_data(new Data())
{
    reload();
}

bool Registry::keyExists(RegistryRoot root, const std::wstring& key) const
{
    const std::wstring path = normalisedKey(key);
    if (path.empty())
        return true;
    std::lock_guard<std::mutex> lock(m_mutex);
    // A key exists when it was named itself or any key below it was.
    for (auto it = m_data->keys.lower_bound({root, path}); it != m_data->keys.end(); ++it) {
        if (it->first.first != root || it->first.second.compare(0, path.size(), path) != 0)
            break;
        if (isSameOrBelow(it->first.second, path))
            return true;
    }
    return false;
}

bool Registry::createKey(RegistryRoot root, const std::wstring& key)
{
    if (keyExists(root, key))
        return true;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_data->keys[{root, normalisedKey(key)}];
    return false;
}

std::optional<RegistryValue> Registry::value(RegistryRoot root, const std::wstring& key,
                                             const std::wstring& name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_data->keys.find({root, normalisedKey(key)});
    if (found == m_data->keys.end())
        return std::nullopt;
    const auto value = found->second.values.find(lowered(name));
    if (value == found->second.values.end())
        return std::nullopt;
    return value->second;
}

std::wstring Registry::stringValue(RegistryRoot root, const std::wstring& key,
                                   const std::wstring& name) const
{
    try {
        const auto found = value(root, key, name);
        if (found && found->type == RegistryValueType::String)
            return found->text;
    } catch (...) {
    }
    return std::wstring();
}

std::optional<uint32_t> Registry::dwordValue(RegistryRoot root, const std::wstring& key,
                                             const std::wstring& name) const
{
    const auto found = value(root, key, name);
    if (!found || found->type != RegistryValueType::DWord)
        return std::nullopt;
    return found->number;
}

void Registry::reload()
{
    const std::string path = registryFilePath();
    std::string refusal;
    const RegistryFile file(path.empty() ? std::string() : readFile(path, refusal));
    if (!refusal.empty())
        std::cerr << "Registry file " << path << " " << refusal
                  << "; it is not read and the registry holds the machine defaults only\n";
    for (const std::string& problem : file.problems())
        std::cerr << "Registry file " << path << ", " << problem << " (line ignored)\n";

    Data data;
    for (const RegistryFile::Key& key : file.keys())
        data.apply(key);
    data.addDefault(RegistryRoot::CurrentUser, kShellFoldersKey, kLocalAppDataValue,
                    userDataFolder());
    data.addDefault(RegistryRoot::LocalMachine, kWindowsNtKey, kProductNameValue, osPrettyName());
    data.addDefault(RegistryRoot::LocalMachine, kWindowsNtKey, kCurrentVersionValue,
                    kernelRelease());

    std::lock_guard<std::mutex> lock(m_mutex);
    *m_data = std::move(data);
}

std::string Registry::registryFilePath()
{
    const char* explicitPath = std::getenv("QUILLET_REGISTRY");
    if (explicitPath && *explicitPath)
        return explicitPath;
    const std::string config = userConfigFolder();
    return config.empty() ? std::string() : config + "/Corvane/registry.reg";
}

}  // namespace platform
