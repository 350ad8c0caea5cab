#include "logfile.h"

#include "platform/localtime.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"

#include <atomic>

namespace com { namespace corvane { namespace vesk {

namespace {

const wchar_t kLogFolder[] = L"\\Corvane\\CorvaneSkyfoldSDK\\Log";

// The log folder, worked out once per process from "Local AppData"; empty
// when that is unknown, which silences the log for the whole run.
const std::wstring& logFolder()
{
    static const std::wstring folder = [] {
        const std::wstring appData = platform::localAppDataPath();
        return appData.empty() ? std::wstring() : platform::joinPath(appData, kLogFolder);
    }();
    return folder;
}

bool endsWithExe(const std::wstring& name)
{
    return name.size() >= 4 && platform::lowered(name.substr(name.size() - 4)) == L".exe";
}

}  // namespace

std::wstring applicationName()
{
    return applicationNameOf(platform::fromUtf8(platform::moduleFileName()));
}

std::wstring applicationNameOf(const std::wstring& modulePath)
{
    const std::wstring path = modulePath.empty() ? L"Unknown application name" : modulePath;
    const auto separator = path.find_last_of(L"/\\");
    std::wstring name = separator == std::wstring::npos ? path : path.substr(separator + 1);
    if (endsWithExe(name))
        name.resize(name.size() - 4);
    return name;
}

bool openLogFile(std::ofstream& file)
{
    static std::atomic<bool> openedBefore{false};
    try {
        const std::wstring& folder = logFolder();
        if (folder.empty() || !platform::createFolders(folder))
            return false;
        const std::wstring name = applicationName();
        if (name.empty())
            return false;
        const std::wstring path = platform::joinPath(folder, name + L".log");
        const bool first = !openedBefore.exchange(true);
        file.open(platform::toFileSystemPath(path),
                  first ? std::ios::out | std::ios::trunc : std::ios::out | std::ios::app);
        return file.is_open();
    } catch (...) {
        return false;
    }
}

std::wstring logTimestamp()
{
    return platform::fromUtf8(platform::formatLocalTime("%m-%d-%y %H:%M:%S"));
}

}}}  // namespace com::corvane::vesk
