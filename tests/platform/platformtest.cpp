#include "fixtures.h"

#include "platform/faultcodes.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"

#include <csignal>
#include <fstream>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <vector>

using namespace platform;

namespace {

const RegistryRoot CU = RegistryRoot::CurrentUser;
const RegistryRoot LM = RegistryRoot::LocalMachine;
const wchar_t kSdk[] = L"Software\\Corvane\\Vesk_SDK";
const wchar_t kShellFolders[]
    = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const wchar_t kWindowsNt[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// A value as text ("dword:<decimal>" for a DWORD); without a name, whether the key exists.
std::wstring shown(RegistryRoot root, const std::wstring& key, const wchar_t* name)
{
    if (!name)
        return Registry::instance().keyExists(root, key) ? L"<key>" : L"<none>";
    const auto value = Registry::instance().value(root, key, name);
    if (!value)
        return L"<none>";
    return value->type == RegistryValueType::DWord ? L"dword:" + std::to_wstring(value->number)
                                                   : value->text;
}

struct Expected {
    RegistryRoot root;
    const wchar_t* key;
    const wchar_t* name;  // null: the key itself
    std::wstring value;
};

class RegistryTest : public IsolatedTest { };
class PathsTest : public IsolatedTest { };

TEST_F(RegistryTest, ReadsValuesHonoursRemovalsAndSkipsMalformedLines)
{
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    const std::wstring kernel(names.release, names.release + strlen(names.release));
    const std::string sdk = "[HKEY_CURRENT_USER\\Software\\Corvane\\Vesk_SDK]\n";
    const std::vector<std::pair<std::string, std::vector<Expected>>> files = {
        {"Windows Registry Editor Version 5.00\r\n\r\n; installer values\r\n"
         "[HKEY_CURRENT_USER\\Software\\Corvane\\Vesk_SDK]\r\n"
         "\"CrashReportPath\"=\"Corvane\\\\Reports \\\"x\\\"\"\r\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n\"Max\"=dword:FFFFFFFF\r\n",
         {{CU, L"software\\CORVANE\\vesk_sdk\\", L"crashreportpath", L"Corvane\\Reports \"x\""},
          {LM, L"SOFTWARE\\Other", L"Max", L"dword:4294967295"},
          {LM, kSdk, L"CrashReportPath", L"<none>"},
          {CU, L"Software\\Corvane", nullptr, L"<key>"},
          {CU, L"Software\\Corv", nullptr, L"<none>"}}},
        {sdk
             + "\"A\"=\"1\"\n\"B\"=\"2\"\n\"A\"=-\n[HKEY_CURRENT_USER\\Software\\Gone]\n"
               "\"C\"=\"3\"\n[HKEY_CURRENT_USER\\Software\\Gone\\Child]\n[-HKEY_CURRENT_"
               "USER\\Software\\Gone]\n",
         {{LM, kWindowsNt, L"CurrentVersion", kernel},
          {CU, kSdk, L"A", L"<none>"},
          {CU, kSdk, L"B", L"2"},
          {CU, L"Software\\Gone", nullptr, L"<none>"},
          {CU, L"Software\\Gone\\Child", nullptr, L"<none>"}}},
        // Removing the whole key takes the machine defaults in it along.
        {"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT]\n",
         {{LM, kWindowsNt, L"CurrentVersion", L"<none>"},
          {CU, kShellFolders, L"Local AppData", dataFolder().wstring()}}},
        {"garbage before the header\n\"Orphan\"=\"outside any key\"\n" + sdk
             + "\"Unterminated\"=\"abc\n\"NoEquals\" \"x\"\n\"BadDword\"=dword:123456789\n"
               "\"NotHex\"=dword:zz\n\"Binary\"=hex:01,02,\\\n  03,04\n\"Trailing\"=\"a\" junk\n"
               "\"Good\"=\"yes\"\n[HKEY_CLASSES_ROOT\\Ignored]\n\"InIgnored\"=\"no\"\n"
               "[HKEY_CURRENT_USER\\Software\\Broken\n\"AfterBroken\"=\"no\"\n"
             + sdk + "\"TimeOut\"=dword:1e\n" + std::string("\0\xff\xfe\x80 binary\n", 10),
         {{CU, kSdk, L"Good", L"yes"},
          {CU, kSdk, L"TimeOut", L"dword:30"},
          {CU, L"Software\\Broken", nullptr, L"<none>"}}},
    };
    for (size_t i = 0; i < files.size(); ++i) {
        writeRegistry(files[i].first);
        for (const Expected& e : files[i].second)
            EXPECT_EQ(shown(e.root, e.key, e.name), e.value)
                << "file " << i << ", " << (e.name ? e.name : e.key);
    }
    // The malformed values of the last file are left out.
    for (const wchar_t* name :
         {L"Unterminated", L"NoEquals", L"BadDword", L"NotHex", L"Binary", L"Trailing"})
        EXPECT_EQ(shown(CU, kSdk, name), L"<none>") << name;
}

TEST_F(RegistryTest, MachineDefaultsAndVolatileKeys)
{
    // No file: the machine defaults only.
    unsetenv("XDG_DATA_HOME");
    Registry::instance().reload();
    EXPECT_EQ(shown(CU, kShellFolders, L"Local AppData"), (home() / ".local" / "share").wstring());

    Registry& registry = Registry::instance();
    EXPECT_FALSE(registry.createKey(CU, L"Software\\Corvane\\Volatile"));
    EXPECT_TRUE(registry.createKey(CU, L"software\\corvane\\volatile"));
    registry.reload();
    EXPECT_FALSE(registry.keyExists(CU, L"Software\\Corvane\\Volatile"));
}

TEST_F(RegistryTest, ReadsOnlyRegularFilesUpToOneMebibyteAndNamesWhatItRefused)
{
    const std::string text = "[HKEY_CURRENT_USER\\Software\\Corvane\\Vesk_SDK]\n\"Read\"=\"yes\"\n";
    const std::string pipe = (root() / "pipe.reg").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // A reader that waits for a writer hangs here until the test's time limit.
    const std::string padded = text + "; " + std::string(1024 * 1024 - text.size() - 3, 'x') + "\n";
    const struct {
        std::string path, content;
        bool refused;
    } files[] = {{pipe, "", true},
                 {"/dev/zero", "", true},
                 {(root() / "big.reg").string(), padded + "x", true},
                 {(root() / "limit.reg").string(), padded, false}};
    for (const auto& file : files) {
        if (!file.content.empty())
            std::ofstream(file.path, std::ios::binary) << file.content;
        setenv("QUILLET_REGISTRY", file.path.c_str(), 1);
        testing::internal::CaptureStderr();
        Registry::instance().reload();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(shown(CU, kSdk, L"Read"), file.refused ? L"<none>" : L"yes") << file.path;
        EXPECT_NE(shown(CU, kShellFolders, L"Local AppData"), L"<none>") << "machine defaults stay";
        EXPECT_EQ(said.find("Registry file " + file.path) != std::string::npos, file.refused)
            << said;
    }
}

TEST_F(PathsTest, CreatesNestedFoldersWithoutAShell)
{
    // A name that would run a command if it went through a shell.
    const std::filesystem::path marker = root() / "ran";
    const std::wstring hostile = L"a\"; touch '" + marker.wstring() + L"'; echo \"$(id)";
    const std::wstring folder = joinPath(root().wstring(), L"one\\two\\" + hostile);
    EXPECT_TRUE(createFolders(folder));
    EXPECT_TRUE(std::filesystem::is_directory(toFileSystemPath(folder)));
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_TRUE(createFolders(folder));     // already there
    std::ofstream(root() / "file") << "x";  // a plain file in the way
    EXPECT_FALSE(createFolders(joinPath(root().wstring(), L"file\\sub")));
    EXPECT_FALSE(createFolders(L""));
}

TEST(FaultCodes, EachSignalAndCauseHasItsExceptionCode)
{
    const struct {
        int signal, cause;
        bool atGuard;
        uint32_t code;
    } cases[] = {{SIGSEGV, SEGV_MAPERR, false, FaultAccessViolation},
                 {SIGSEGV, SEGV_MAPERR, true, FaultStackOverflow},
                 {SIGBUS, BUS_ADRALN, false, FaultDatatypeMisalignment},
                 {SIGBUS, BUS_ADRERR, false, FaultInPageError},
                 {SIGFPE, FPE_INTDIV, false, FaultIntDivideByZero},
                 {SIGFPE, FPE_INTOVF, false, FaultIntOverflow},
                 {SIGFPE, FPE_FLTDIV, false, FaultFltDivideByZero},
                 {SIGFPE, FPE_FLTOVF, false, FaultFltOverflow},
                 {SIGFPE, FPE_FLTUND, false, FaultFltUnderflow},
                 {SIGFPE, FPE_FLTRES, false, FaultFltInexactResult},
                 {SIGFPE, FPE_FLTINV, false, FaultFltInvalidOperation},
                 {SIGFPE, FPE_FLTSUB, false, FaultArrayBoundsExceeded},
                 {SIGFPE, 0, false, 0xE0000000u + SIGFPE},
                 {SIGILL, ILL_ILLOPC, false, FaultIllegalInstruction},
                 {SIGILL, ILL_PRVOPC, false, FaultPrivInstruction},
                 {SIGTRAP, TRAP_BRKPT, false, FaultBreakpoint},
                 {SIGTRAP, TRAP_TRACE, false, FaultSingleStep},
                 {SIGABRT, 0, false, FaultFatalAppExit},
                 {SIGUSR1, 0, false, 0xE0000000u + SIGUSR1}};
    for (const auto& c : cases)
        EXPECT_EQ(exceptionCodeForSignal(c.signal, c.cause, c.atGuard), c.code)
            << c.signal << "/" << c.cause;
}

TEST(Text, ConvertsUtf8AndUtf16ReplacingWhatIsInvalid)
{
    const std::string r = "\xef\xbf\xbd";  // U+FFFD
    const std::string valid = "a\x7f\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80";
    EXPECT_EQ(fromUtf8(valid), L"a\x7f\u00e9\u20ac\U0001F600");
    EXPECT_EQ(toUtf8(fromUtf8(valid)), valid);
    EXPECT_EQ(toUtf8(std::wstring{wchar_t(0x110000), wchar_t(0xd800), L'a'}), r + r + "a");
    // Each byte of an invalid UTF-8 sequence becomes U+FFFD.
    const std::pair<std::string, std::wstring> invalid[]
        = {{"\xc0\xaf", L"\ufffd\ufffd"},                      // bad lead, overlong pair
           {"\xe0\x80\xaf", L"\ufffd\ufffd\ufffd"},            // overlong triple
           {"\xed\xa0\x80", L"\ufffd\ufffd\ufffd"},            // a surrogate
           {"\xf4\x90\x80\x80", L"\ufffd\ufffd\ufffd\ufffd"},  // past U+10FFFF
           {"\xe2\x82x", L"\ufffd\ufffdx"}};                   // cut short
    for (const auto& [bytes, wide] : invalid)
        EXPECT_EQ(fromUtf8(bytes), wide) << bytes;
    // Little-endian UTF-16 bytes in (octal: a hex escape would take the letter after it).
    const std::pair<std::string, std::wstring> utf16[] = {{{"a\0\351\0", 4}, L"a\u00e9"},
                                                          {{"\75\330\0\336", 4}, L"\U0001F600"},
                                                          {{"\0\334a\0", 4}, L"\ufffda"},
                                                          {{"\75\330a\0", 4}, L"\ufffda"},
                                                          {{"a\0b", 3}, L"a"}};
    for (const auto& [bytes, wide] : utf16)
        EXPECT_EQ(fromUtf16le(bytes), wide) << bytes.size();
}

}  // namespace
