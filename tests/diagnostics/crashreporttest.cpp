#include "fixtures.h"

#include "diagnostics/abstractcrashreport.h"
#include "diagnostics/crashreportwriter.h"

#include <pugixml.hpp>

#include <fstream>
#include <regex>
#include <vector>

using namespace com::corvane::vesk;
namespace fs = std::filesystem;

namespace {

const std::string kAppId = "5e0b7d21-3f4c-4b9a-8c2d-9a1e6f3b7c40";
const std::string kNotProvided = "Not provided by application";

class CrashReportTest : public IsolatedTest {
protected:
    fs::path defaultFolder() const { return sdkFolder() / "CrashReports"; }

    // The only report in the folder, parsed; m_path names it.
    pugi::xml_node report(const fs::path& folder)
    {
        const std::vector<fs::path> files(fs::directory_iterator{folder}, {});
        EXPECT_EQ(files.size(), 1u);
        m_path = files.empty() ? fs::path() : files[0];
        const auto parsed = m_document.load_file(m_path.c_str());
        EXPECT_TRUE(parsed) << parsed.description();
        return m_document.child("CrashReport").child("diagnosticstest");
    }

    pugi::xml_document m_document;
    fs::path m_path;
};

// Names with blanks become valid ones; texts are written as UTF-8.
TEST_F(CrashReportTest, DocumentInTheRegistrysFolderWithAPathLongerThan260Bytes)
{
    const std::string segment(100, 's');
    writeRegistry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
                  "\"ProductName\"=\"Test OS\"\n\"CurrentVersion\"=\"6.1\"\n"
                  "[HKEY_CURRENT_USER\\Software\\Corvane\\Vesk_SDK]\n"
                  "\"CrashReportPath\"=\""
                  + segment + "\\\\" + segment + "\\\\" + segment + "\"\n");
    CrashCustomField fields[] = {{L"user name", L"\u00e9\U0001F600"}, {L"session", L"42"}};
    ASSERT_EQ(writeCrashReport(kAppId, L"Quillet.exe", -12, L"Access violation",
                               L"EXCEPTION_ACCESS_VIOLATION", L"frame 1 frame 2", fields, 2),
              0);
    const auto node = report(dataFolder() / segment / segment / segment);
    EXPECT_EQ(lastCrashReportPath(), m_path.string());
    const std::regex name(R"(diagnosticstest \d{4}-\d\d-\d\dT\d\d-\d\d-\d\d\.00\.xml)");
    EXPECT_TRUE(std::regex_match(m_path.filename().string(), name)) << m_path;
    // The time of writing and the compiler that built the program, not fixed texts.
    const std::string stamp = node.child_value("Timestamp");
    const std::string compiler = node.child_value("RuntimeVersion");
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.000)")));
    EXPECT_TRUE(std::regex_match(compiler, std::regex(R"((GCC|Clang) \d+\.\d+\.\d+)")));
    const std::vector<std::pair<std::string, std::string>> elements
        = {{"ApplicationID", kAppId},
           {"ModuleName", "Quillet.exe"},
           {"LineNumber", "-12"},
           {"Error", "Access violation"},
           {"Category", "EXCEPTION_ACCESS_VIOLATION"},
           {"Runtime", "C/C++"},
           {"RuntimeVersion", compiler},
           {"OS", "Test OS"},
           {"OSVersion", "6.1"},
           {"SDKVersion", "1.1.2"},
           {"Timestamp", stamp},
           {"ErrorData", "frame 1 frame 2"}};
    std::string expected
        = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CrashReport>\n\t<diagnosticstest>\n";
    for (const auto& [name, value] : elements)
        expected += "\t<" + name + ">" + value + "</" + name + ">\n";
    EXPECT_EQ(readFile(m_path),
              expected
                  + "\t<CustomFields>\n\t<CustomField name=\"user_name\">"
                    "\xc3\xa9\xf0\x9f\x98\x80</CustomField>\n"
                    "\t<CustomField name=\"session\">42</CustomField>\n\t</CustomFields>\n"
                    "\t</diagnosticstest>\n</CrashReport>\n");
}

TEST_F(CrashReportTest, LimitsAndAbsentTexts)
{
    // Texts cut at 80 characters, 20 fields, unnamed ones skipped, data over 4000 left out.
    const std::wstring long81 = std::wstring(80, L'x') + L"y";
    std::vector<std::wstring> names{long81};
    for (int i = 1; i < 25; ++i)
        names.push_back(L"field " + std::to_wstring(i));
    std::vector<CrashCustomField> fields;
    for (const std::wstring& name : names)
        fields.push_back({name.c_str(), fields.empty() ? long81.c_str() : L"v"});
    fields[1].name = nullptr;
    ASSERT_EQ(writeCrashReport(kAppId, long81.c_str(), 0, long81.c_str(), nullptr,
                               std::wstring(4001, L'd').c_str(), fields.data(), 25),
              4);
    auto node = report(defaultFolder());
    const std::string cut(80, 'x');
    EXPECT_EQ(node.child_value("ModuleName"), cut);
    EXPECT_EQ(node.child_value("Error"), cut);
    EXPECT_EQ(node.child_value("Category"), kNotProvided);
    EXPECT_FALSE(node.child("ErrorData"));
    std::vector<std::string> written;
    for (const auto& field : node.child("CustomFields").children())
        written.push_back(field.attribute("name").as_string() + std::string("=")
                          + field.child_value());
    std::vector<std::string> expected{cut + "=" + cut};  // the first 20 less the unnamed one
    for (int i = 2; i < 20; ++i)
        expected.push_back("field_" + std::to_string(i) + "=v");
    EXPECT_EQ(written, expected);
    fs::remove(m_path);

    // No texts and no field array.
    ASSERT_EQ(writeCrashReport(kAppId, nullptr, 7, nullptr, nullptr, nullptr, nullptr, 3), 0);
    node = report(defaultFolder());
    for (const char* name : {"ModuleName", "Error", "Category", "ErrorData"})
        EXPECT_EQ(node.child_value(name), kNotProvided) << name;
    EXPECT_FALSE(node.child("CustomFields"));
}

TEST_F(CrashReportTest, ReportsOfOneSecondGetNamesOfTheirOwn)
{
    // This process, a child that starts with its state, this process again.
    const auto write
        = [] { return writeCrashReport(kAppId, L"m", 1, L"e", L"c", L"d", nullptr, 0); };
    ASSERT_EQ(write(), 0);
    ASSERT_TRUE(ranInChild([&] { _exit(write()); }));
    ASSERT_EQ(write(), 0);
    const std::vector<fs::path> files(fs::directory_iterator{defaultFolder()}, {});
    ASSERT_EQ(files.size(), 3u) << "a report replaced another";
    for (const auto& file : files)
        EXPECT_NE(readFile(file).find("<ErrorData>d</ErrorData>"), std::string::npos) << file;
}

TEST_F(CrashReportTest, WithoutAFolderForReportsItGivesMinusOne)
{
    fs::create_directories(defaultFolder().parent_path());
    std::ofstream(defaultFolder()) << "a file where the folder belongs";
    EXPECT_EQ(writeCrashReport(kAppId, L"m", 1, L"e", L"c", L"d", nullptr, 0), -1);

    writeRegistry("[HKEY_CURRENT_"
                  "USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
                  "\"Local AppData\"=-\n");
    EXPECT_EQ(writeCrashReport(kAppId, L"m", 1, L"e", L"c", L"d", nullptr, 0), -1);
}

}  // namespace
