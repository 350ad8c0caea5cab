#include "paths.h"

#include "registry.h"
#include "registrykeys.h"
#include "text.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace platform {

namespace {

bool isSeparator(wchar_t c)
{
    return c == L'/' || c == L'\\';
}

// The home folder: $HOME, else the password database entry.
std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    const passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir ? entry->pw_dir : std::string();
}

// $name when set to an absolute path, else home + fallback.
std::string xdgFolder(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    if (value && value[0] == '/')
        return value;
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + fallback;
}

}  // namespace

wchar_t nativeSeparator()
{
#ifdef _WIN32
    return L'\\';
#else
    return L'/';
#endif
}

std::wstring toNativeSeparators(const std::wstring& path)
{
    std::wstring result = path;
    for (wchar_t& c : result) {
        if (isSeparator(c))
            c = nativeSeparator();
    }
    return result;
}

std::wstring joinPath(const std::wstring& folder, const std::wstring& relative)
{
    if (folder.empty())
        return toNativeSeparators(relative);
    if (relative.empty())
        return toNativeSeparators(folder);
    std::wstring result = toNativeSeparators(folder);
    size_t start = 0;
    while (start < relative.size() && isSeparator(relative[start]))
        ++start;
    if (!isSeparator(result.back()))
        result.push_back(nativeSeparator());
    return result + toNativeSeparators(relative.substr(start));
}

std::filesystem::path toFileSystemPath(const std::wstring& path)
{
#ifdef _WIN32
    return std::filesystem::path(path);
#else
    return std::filesystem::path(toUtf8(path));
#endif
}

bool pathExists(const std::wstring& path)
{
    std::error_code error;
    return std::filesystem::exists(toFileSystemPath(path), error);
}

NewFile createNewFile(const std::wstring& path)
{
    const int fd
        = ::open(toFileSystemPath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno == EEXIST ? NewFile::Exists : NewFile::Failed;
    ::close(fd);
    return NewFile::Created;
}

bool createFolders(const std::wstring& path)
{
    if (path.empty())
        return false;
    const std::filesystem::path folder = toFileSystemPath(path);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error);
}

std::wstring userDataFolder()
{
    return fromUtf8(xdgFolder("XDG_DATA_HOME", "/.local/share"));
}

std::string userConfigFolder()
{
    return xdgFolder("XDG_CONFIG_HOME", "/.config");
}

std::wstring localAppDataPath()
{
    return Registry::instance().stringValue(RegistryRoot::CurrentUser, kShellFoldersKey,
                                            kLocalAppDataValue);
}

}  // namespace platform
