#ifndef QUILLET_PLATFORM_REGISTRYKEYS_H
#define QUILLET_PLATFORM_REGISTRYKEYS_H

// The registry keys and values the program reads, with the root each lives under.
namespace platform {

// HKEY_CURRENT_USER: the user's shell folders.
inline constexpr wchar_t kShellFoldersKey[]
    = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr wchar_t kLocalAppDataValue[] = L"Local AppData";

// HKEY_LOCAL_MACHINE: the operating system's name and version.
inline constexpr wchar_t kWindowsNtKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
inline constexpr wchar_t kProductNameValue[] = L"ProductName";
inline constexpr wchar_t kCurrentVersionValue[] = L"CurrentVersion";

// The store SDK: the crash report folder (HKEY_CURRENT_USER, relative to Local
// AppData) and the reply time-out (HKEY_LOCAL_MACHINE, REG_DWORD seconds).
inline constexpr wchar_t kSdkKey[] = L"Software\\Corvane\\Vesk_SDK";
inline constexpr wchar_t kCrashReportPathValue[] = L"CrashReportPath";
inline constexpr wchar_t kTimeOutValue[] = L"TimeOut";

// HKEY_LOCAL_MACHINE: the store's dispatcher service port (REG_DWORD).
inline constexpr wchar_t kStoreKey[] = L"Software\\Corvane\\Wharfline";
inline constexpr wchar_t kDispatcherServicePortValue[] = L"DispatcherServicePort";

}  // namespace platform

#endif
