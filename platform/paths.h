#ifndef QUILLET_PLATFORM_PATHS_H
#define QUILLET_PLATFORM_PATHS_H

#include <filesystem>
#include <string>

namespace platform {

// The separator of this platform: '/' on Linux, '\' on Windows.
wchar_t nativeSeparator();

// The path with every '\' and '/' turned into the native separator.
std::wstring toNativeSeparators(const std::wstring& path);

// folder + separator + relative, where relative may use either separator
// (folder names are written with '\' throughout the store SDK). An empty
// folder or relative part yields the other part alone.
std::wstring joinPath(const std::wstring& folder, const std::wstring& relative);

// A wide path as a file-system path (UTF-8 bytes on Linux).
std::filesystem::path toFileSystemPath(const std::wstring& path);

// Whether something exists at the path.
bool pathExists(const std::wstring& path);

// Creates an empty file at the path unless something is there already; the
// check and the creation are one step, so two processes never both get the
// same name. Safe inside a signal handler apart from the path conversion.
enum class NewFile { Created, Exists, Failed };
NewFile createNewFile(const std::wstring& path);

// Creates the folder and any missing parent folders with the file-system API
// (never through a shell). True when the folder exists afterwards.
bool createFolders(const std::wstring& path);

// The user's data folder: $XDG_DATA_HOME when it is an absolute path, else
// $HOME/.local/share. Empty when neither can be had.
std::wstring userDataFolder();

// "Local AppData" of the current user's shell folders in the registry; empty
// when unknown.
std::wstring localAppDataPath();

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute
// path, else $HOME/.config. Empty when neither can be had.
std::string userConfigFolder();

}  // namespace platform

#endif
