#include "crashreportwriter.h"

#include "abstractcrashreport.h"
#include "logfile.h"
#include "xmlattribute.h"
#include "xmlnode.h"
#include "xmlwriter.h"

#include "platform/localtime.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/registrykeys.h"
#include "platform/text.h"

#include <algorithm>
#include <mutex>

namespace com { namespace corvane { namespace vesk {

namespace {

const wchar_t kNotProvided[] = L"Not provided by application";
const wchar_t kDefaultReportFolder[] = L"Corvane\\CorvaneSkyfoldSDK\\CrashReports";
const wchar_t kSdkVersion[] = L"1.1.2";
const size_t kTextLimit = 80;
const size_t kErrorDataLimit = 4000;
const int32_t kCustomFieldLimit = 20;

std::mutex s_lastPathMutex;
std::string s_lastPath;

void setLastPath(const std::string& path)
{
    std::lock_guard<std::mutex> lock(s_lastPathMutex);
    s_lastPath = path;
}

std::wstring textOrNotProvided(const wchar_t* text)
{
    return text ? std::wstring(text) : std::wstring(kNotProvided);
}

std::wstring cut(const wchar_t* text, size_t limit)
{
    return text ? std::wstring(text).substr(0, limit) : std::wstring();
}

// The compiler that built this program, from its own macros.
std::wstring runtimeVersion()
{
#if defined(__clang__)
    return L"Clang " + std::to_wstring(__clang_major__) + L"." + std::to_wstring(__clang_minor__)
           + L"." + std::to_wstring(__clang_patchlevel__);
#elif defined(__GNUC__)
    return L"GCC " + std::to_wstring(__GNUC__) + L"." + std::to_wstring(__GNUC_MINOR__) + L"."
           + std::to_wstring(__GNUC_PATCHLEVEL__);
#elif defined(_MSC_VER)
    return L"Microsoft Visual C++ " + std::to_wstring(_MSC_FULL_VER);
#else
    return L"unknown C++ compiler";
#endif
}

std::wstring isoTime(const std::tm& time)
{
    return platform::fromUtf8(platform::formatTime(time, "%Y-%m-%dT%H:%M:%S.000"));
}

// "2007-04-11T14:05:09.000" becomes "2007-04-11T14-05-09.00": no colons in
// the file name, and the last digit dropped.
std::wstring fileTime(const std::tm& time)
{
    std::wstring text = isoTime(time);
    std::replace(text.begin(), text.end(), L':', L'-');
    text.pop_back();
    return text;
}

// Creates the report's empty file: "<application> <file time>.xml", whose time
// ends in ".00"; when reports of the same second exist, in this process or
// another, ".01" to ".99" instead, so no report replaces another. Empty when
// no name is free or the file cannot be created.
std::wstring createReportFile(const std::wstring& folder, const std::wstring& application)
{
    std::wstring stem = application + L" " + fileTime(platform::localTimeNow());
    stem.resize(stem.size() - 2);  // the ".00" of the first report is the counter
    for (int n = 0; n < 100; ++n) {
        const wchar_t counter[]
            = {static_cast<wchar_t>(L'0' + n / 10), static_cast<wchar_t>(L'0' + n % 10), 0};
        const std::wstring path = platform::joinPath(folder, stem + counter + L".xml");
        switch (platform::createNewFile(path)) {
        case platform::NewFile::Created: return path;
        case platform::NewFile::Exists: continue;
        case platform::NewFile::Failed: return std::wstring();
        }
    }
    return std::wstring();
}

XmlElement customFieldsElement(const CrashCustomField* fields, int32_t count)
{
    XmlElement element(L"CustomFields", L"");
    const int32_t written = std::min(std::max(count, 0), kCustomFieldLimit);
    for (int32_t i = 0; i < written; ++i) {
        element.addAttribute(XmlAttribute(cut(fields[i].name, kTextLimit),
                                          cut(fields[i].value, kTextLimit), L"CustomField"));
    }
    return element;
}

}  // namespace

std::wstring crashReportFolder()
{
    const std::wstring appData = platform::localAppDataPath();
    if (appData.empty())
        return std::wstring();
    std::wstring relative = platform::Registry::instance().stringValue(
        platform::RegistryRoot::CurrentUser, platform::kSdkKey, platform::kCrashReportPathValue);
    if (relative.empty())
        relative = kDefaultReportFolder;
    return platform::joinPath(appData, relative);
}

std::string lastCrashReportPath()
{
    std::lock_guard<std::mutex> lock(s_lastPathMutex);
    return s_lastPath;
}

int writeCrashReport(const std::string& applicationIdText, const wchar_t* moduleName,
                     int32_t lineNumber, const wchar_t* errorText, const wchar_t* category,
                     const wchar_t* errorData, const CrashCustomField* customFields,
                     int32_t customFieldCount)
{
    try {
        const std::wstring folder = crashReportFolder();
        if (folder.empty() || !platform::createFolders(folder))
            return -1;
        const std::wstring application = applicationName();
        const std::wstring path = createReportFile(folder, application);
        if (path.empty())
            return -1;
        setLastPath(platform::toUtf8(path));

        XmlWriter writer(platform::toFileSystemPath(path));
        if (!writer.isOpen())
            return -1;

        int result = 0;
        XmlNode root(L"CrashReport");
        XmlNode node(application);
        const std::wstring data = textOrNotProvided(errorData);
        node.addElement(XmlElement(L"ApplicationID", platform::fromUtf8(applicationIdText)));
        node.addElement(
            XmlElement(L"ModuleName", textOrNotProvided(moduleName).substr(0, kTextLimit)));
        node.addElement(XmlElement(L"LineNumber", std::to_wstring(lineNumber)));
        node.addElement(XmlElement(L"Error", textOrNotProvided(errorText).substr(0, kTextLimit)));
        node.addElement(XmlElement(L"Category", textOrNotProvided(category).substr(0, kTextLimit)));
        node.addElement(XmlElement(L"Runtime", L"C/C++"));
        node.addElement(XmlElement(L"RuntimeVersion", runtimeVersion()));
        const platform::Registry& registry = platform::Registry::instance();
        const auto machine = platform::RegistryRoot::LocalMachine;
        node.addElement(XmlElement(L"OS", registry.stringValue(machine, platform::kWindowsNtKey,
                                                               platform::kProductNameValue)));
        node.addElement(
            XmlElement(L"OSVersion", registry.stringValue(machine, platform::kWindowsNtKey,
                                                          platform::kCurrentVersionValue)));
        node.addElement(XmlElement(L"SDKVersion", kSdkVersion));
        node.addElement(XmlElement(L"Timestamp", isoTime(platform::localTimeNow())));
        if (data.size() <= kErrorDataLimit)
            node.addElement(XmlElement(L"ErrorData", data));
        else
            result = 4;

        if (customFields) {
            try {
                node.addElement(customFieldsElement(customFields, customFieldCount));
            } catch (...) {
                result = -1;  // the rest of the report is still written
            }
        }

        root.addChild(node);
        writer.setRoot(&root);
        if (writer.write() != XmlOk)
            result = -1;
        return result;
    } catch (...) {
        return -1;
    }
}

}}}  // namespace com::corvane::vesk
