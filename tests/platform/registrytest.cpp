#include "isolatedenvironment.h"

#include "platform/registry.h"

#include <sys/utsname.h>

using platform::Registry;
using platform::RegistryRoot;
using platform::RegistryValueType;

namespace {

const wchar_t kSdkKey[] = L"Software\\Corvane\\Vesk_SDK";
const wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const wchar_t kWindowsNt[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

std::wstring text(RegistryRoot root, const std::wstring& key, const std::wstring& name)
{
    const auto value = Registry::instance().value(root, key, name);
    return value && value->type == RegistryValueType::String ? value->text : L"<none>";
}

class RegistryTest : public IsolatedEnvironment {};

TEST_F(RegistryTest, ReadsStringsAndDwordsWithTheirTypes)
{
    writeRegistry("Windows Registry Editor Version 5.00\r\n\r\n"
                  "; installer values\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Corvane\\Vesk_SDK]\r\n"
                  "\"CrashReportPath\"=\"Corvane\\\\Reports \\\"x\\\"\"\r\n"
                  "\"TimeOut\"=dword:0000001e\r\n"
                  "\"DispatcherServicePort\"=\"8080\"\r\n"
                  "@=\"default\"\r\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n"
                  "\"Max\"=dword:FFFFFFFF\r\n");
    Registry& registry = Registry::instance();
    EXPECT_EQ(text(RegistryRoot::CurrentUser, kSdkKey, L"CrashReportPath"), L"Corvane\\Reports \"x\"");
    // Keys and value names compare without regard to case.
    EXPECT_EQ(text(RegistryRoot::CurrentUser, L"software\\CORVANE\\vesk_sdk\\", L"crashreportpath"),
              L"Corvane\\Reports \"x\"");
    EXPECT_EQ(text(RegistryRoot::CurrentUser, kSdkKey, L""), L"default");

    const auto timeOut = registry.value(RegistryRoot::CurrentUser, kSdkKey, L"TimeOut");
    ASSERT_TRUE(timeOut);
    EXPECT_EQ(timeOut->type, RegistryValueType::DWord);
    EXPECT_EQ(timeOut->number, 30u);
    const auto port = registry.value(RegistryRoot::CurrentUser, kSdkKey, L"DispatcherServicePort");
    ASSERT_TRUE(port);
    EXPECT_EQ(port->type, RegistryValueType::String);
    EXPECT_EQ(registry.value(RegistryRoot::LocalMachine, L"SOFTWARE\\Other", L"Max")->number, 0xFFFFFFFFu);

    // The same path under the other root is another key.
    EXPECT_FALSE(registry.value(RegistryRoot::LocalMachine, kSdkKey, L"TimeOut"));
    EXPECT_TRUE(registry.keyExists(RegistryRoot::CurrentUser, L"Software\\Corvane"));
    EXPECT_FALSE(registry.keyExists(RegistryRoot::CurrentUser, L"Software\\Corv"));
    EXPECT_FALSE(registry.keyExists(RegistryRoot::CurrentUser, L"Software\\Corvane\\Vesk_SDK\\Sub"));
}

TEST_F(RegistryTest, CreatedKeysLiveInMemoryOnly)
{
    writeRegistry("Windows Registry Editor Version 5.00\n");
    Registry& registry = Registry::instance();
    EXPECT_FALSE(registry.createKey(RegistryRoot::CurrentUser, L"Software\\Corvane\\Volatile"));
    EXPECT_TRUE(registry.keyExists(RegistryRoot::CurrentUser, L"software\\corvane\\volatile"));
    EXPECT_TRUE(registry.createKey(RegistryRoot::CurrentUser, L"Software\\Corvane\\Volatile"));
    EXPECT_EQ(readFile(registryPath()), "Windows Registry Editor Version 5.00\n");
    registry.reload();
    EXPECT_FALSE(registry.keyExists(RegistryRoot::CurrentUser, L"Software\\Corvane\\Volatile"));
}

TEST_F(RegistryTest, SuppliesMachineDefaults)
{
    writeRegistry("");
    EXPECT_EQ(text(RegistryRoot::CurrentUser, kShellFolders, L"Local AppData"), dataFolder().wstring());
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_EQ(text(RegistryRoot::LocalMachine, kWindowsNt, L"CurrentVersion"),
              std::wstring(names.release, names.release + strlen(names.release)));
    if (std::filesystem::exists("/etc/os-release")) {
        EXPECT_NE(text(RegistryRoot::LocalMachine, kWindowsNt, L"ProductName"), L"<none>");
    }

    // Without XDG_DATA_HOME the data folder is below HOME.
    unsetenv("XDG_DATA_HOME");
    Registry::instance().reload();
    EXPECT_EQ(text(RegistryRoot::CurrentUser, kShellFolders, L"Local AppData"),
              (m_root / "home" / ".local" / "share").wstring());
}

TEST_F(RegistryTest, FileOverridesAndRemovesValues)
{
    writeRegistry("Windows Registry Editor Version 5.00\n"
                  "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
                  "\"Local AppData\"=-\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
                  "\"ProductName\"=\"Test OS\"\n"
                  "[HKEY_CURRENT_USER\\Software\\Corvane\\Vesk_SDK]\n"
                  "\"A\"=\"1\"\n"
                  "\"B\"=\"2\"\n"
                  "\"A\"=-\n"
                  "[HKEY_CURRENT_USER\\Software\\Gone]\n"
                  "\"C\"=\"3\"\n"
                  "[HKEY_CURRENT_USER\\Software\\Gone\\Child]\n"
                  "[-HKEY_CURRENT_USER\\Software\\Gone]\n");
    Registry& registry = Registry::instance();
    EXPECT_FALSE(registry.value(RegistryRoot::CurrentUser, kShellFolders, L"Local AppData"));
    EXPECT_EQ(text(RegistryRoot::LocalMachine, kWindowsNt, L"ProductName"), L"Test OS");
    EXPECT_NE(text(RegistryRoot::LocalMachine, kWindowsNt, L"CurrentVersion"), L"<none>");
    EXPECT_FALSE(registry.value(RegistryRoot::CurrentUser, kSdkKey, L"A"));
    EXPECT_EQ(text(RegistryRoot::CurrentUser, kSdkKey, L"B"), L"2");
    EXPECT_FALSE(registry.keyExists(RegistryRoot::CurrentUser, L"Software\\Gone"));
    EXPECT_FALSE(registry.keyExists(RegistryRoot::CurrentUser, L"Software\\Gone\\Child"));

    // Removing the whole key takes the machine default with it.
    writeRegistry("[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT]\n");
    EXPECT_FALSE(registry.value(RegistryRoot::LocalMachine, kWindowsNt, L"CurrentVersion"));
}

TEST_F(RegistryTest, MalformedLinesAreSkippedAndTheRestIsRead)
{
    writeRegistry(std::string("garbage before the header\n"
                              "\"Orphan\"=\"outside any key\"\n"
                              "[HKEY_CURRENT_USER\\Software\\Corvane\\Vesk_SDK]\n"
                              "\"Unterminated\"=\"abc\n"
                              "\"NoEquals\" \"x\"\n"
                              "\"BadDword\"=dword:123456789\n"
                              "\"NotHex\"=dword:zz\n"
                              "\"Binary\"=hex:01,02,\\\n"
                              "  03,04\n"
                              "\"Trailing\"=\"a\" junk\n"
                              "\"Good\"=\"yes\"\n"
                              "[HKEY_CLASSES_ROOT\\Ignored]\n"
                              "\"InIgnored\"=\"no\"\n"
                              "[HKEY_CURRENT_USER\\Software\\Broken\n"
                              "\"AfterBroken\"=\"no\"\n"
                              "[HKEY_CURRENT_USER\\Software\\Corvane\\Vesk_SDK]\n"
                              "\"TimeOut\"=dword:1e\n")
                  + std::string("\0\xff\xfe\x80 binary\n", 10));
    Registry& registry = Registry::instance();
    EXPECT_EQ(text(RegistryRoot::CurrentUser, kSdkKey, L"Good"), L"yes");
    EXPECT_EQ(registry.value(RegistryRoot::CurrentUser, kSdkKey, L"TimeOut")->number, 30u);
    for (const wchar_t* name : {L"Unterminated", L"NoEquals", L"BadDword", L"NotHex", L"Binary", L"Trailing"})
        EXPECT_FALSE(registry.value(RegistryRoot::CurrentUser, kSdkKey, name)) << name;
    EXPECT_FALSE(registry.keyExists(RegistryRoot::CurrentUser, L"Software\\Broken"));
    // Defaults are still there.
    EXPECT_EQ(text(RegistryRoot::CurrentUser, kShellFolders, L"Local AppData"), dataFolder().wstring());
}

TEST_F(RegistryTest, ReadsUtf16FileWithByteOrderMark)
{
    const std::u16string source = u"Windows Registry Editor Version 5.00\r\n"
                                  u"[HKEY_CURRENT_USER\\Software\\Corvane\\Vesk_SDK]\r\n"
                                  u"\"CrashReportPath\"=\"Berichte\u00fc\"\r\n";
    std::string bytes = "\xff\xfe";
    for (char16_t c : source) {
        bytes.push_back(static_cast<char>(c & 0xff));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    writeRegistry(bytes);
    EXPECT_EQ(text(RegistryRoot::CurrentUser, kSdkKey, L"CrashReportPath"), L"Berichte\u00fc");
}

TEST_F(RegistryTest, FileLocation)
{
    EXPECT_EQ(Registry::registryFilePath(), registryPath().string());
    unsetenv("QUILLET_REGISTRY");
    EXPECT_EQ(Registry::registryFilePath(), (m_root / "config" / "Corvane" / "registry.reg").string());
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(Registry::registryFilePath(), (m_root / "home" / ".config" / "Corvane" / "registry.reg").string());

    // A missing file is an empty registry with the machine defaults.
    Registry::instance().reload();
    EXPECT_FALSE(Registry::instance().keyExists(RegistryRoot::CurrentUser, L"Software\\Corvane"));
    EXPECT_EQ(text(RegistryRoot::CurrentUser, kShellFolders, L"Local AppData"), dataFolder().wstring());
}

}  // namespace
