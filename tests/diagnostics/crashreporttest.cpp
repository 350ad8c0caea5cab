#include "isolatedenvironment.h"

#include "diagnostics/abstractcrashreport.h"
#include "diagnostics/crashreportsink.h"
#include "diagnostics/crashreportwriter.h"
#include "platform/text.h"

#include <pugixml.hpp>

#include <regex>
#include <vector>

using namespace com::corvane::vesk;

namespace {

const std::string kAppId = "5e0b7d21-3f4c-4b9a-8c2d-9a1e6f3b7c40";
const wchar_t kNotProvided[] = L"Not provided by application";

class CrashReportTest : public IsolatedEnvironment {
protected:
    void SetUp() override
    {
        IsolatedEnvironment::SetUp();
        writeRegistry("Windows Registry Editor Version 5.00\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
                      "\"ProductName\"=\"Test OS\"\n"
                      "\"CurrentVersion\"=\"6.1\"\n");
    }

    std::filesystem::path defaultFolder() const
    {
        return dataFolder() / "Corvane" / "CorvaneSkyfoldSDK" / "CrashReports";
    }

    // The only report in the folder, parsed.
    pugi::xml_node report(const std::filesystem::path& folder = {})
    {
        const auto where = folder.empty() ? defaultFolder() : folder;
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(where))
            files.push_back(entry.path());
        EXPECT_EQ(files.size(), 1u);
        if (files.empty())
            return {};
        m_path = files[0];
        const auto parsed = m_document.load_file(m_path.c_str());
        EXPECT_TRUE(parsed) << parsed.description();
        return m_document.child("CrashReport").child("diagnostics_tests");
    }

    static std::vector<std::string> elementNames(const pugi::xml_node& node)
    {
        std::vector<std::string> names;
        for (const auto& child : node.children())
            names.push_back(child.name());
        return names;
    }

    pugi::xml_document m_document;
    std::filesystem::path m_path;
};

TEST_F(CrashReportTest, DocumentLayout)
{
    CrashCustomField fields[] = {{L"user name", L"alice"}, {L"session", L"42"}};
    ASSERT_EQ(writeCrashReport(kAppId, L"Quillet.exe", -12, L"Access violation", L"EXCEPTION_ACCESS_VIOLATION",
                               L"frame 1 frame 2", fields, 2),
              0);
    const auto node = report();
    const std::string fileName = m_path.filename().string();
    EXPECT_TRUE(std::regex_match(fileName, std::regex(R"(diagnostics_tests \d{4}-\d\d-\d\dT\d\d-\d\d-\d\d\.00\.xml)")))
        << fileName;
    EXPECT_EQ(lastCrashReportPath(), m_path.string());

    const std::string text = readFile(m_path);
    std::smatch stamp;
    ASSERT_TRUE(std::regex_search(text, stamp, std::regex(R"(<Timestamp>(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.000)<)")));
    std::smatch compiler;
    ASSERT_TRUE(std::regex_search(text, compiler, std::regex(R"(<RuntimeVersion>((GCC|Clang) \d+\.\d+\.\d+)<)")));
    EXPECT_EQ(text, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<CrashReport>\n"
                    "\t<diagnostics_tests>\n"
                    "\t<ApplicationID>" + kAppId + "</ApplicationID>\n"
                    "\t<ModuleName>Quillet.exe</ModuleName>\n"
                    "\t<LineNumber>-12</LineNumber>\n"
                    "\t<Error>Access violation</Error>\n"
                    "\t<Category>EXCEPTION_ACCESS_VIOLATION</Category>\n"
                    "\t<Runtime>C/C++</Runtime>\n"
                    "\t<RuntimeVersion>" + compiler[1].str() + "</RuntimeVersion>\n"
                    "\t<OS>Test OS</OS>\n"
                    "\t<OSVersion>6.1</OSVersion>\n"
                    "\t<SDKVersion>1.1.2</SDKVersion>\n"
                    "\t<Timestamp>" + stamp[1].str() + "</Timestamp>\n"
                    "\t<ErrorData>frame 1 frame 2</ErrorData>\n"
                    "\t<CustomFields>\n"
                    "\t<CustomField name=\"user_name\">alice</CustomField>\n"
                    "\t<CustomField name=\"session\">42</CustomField>\n"
                    "\t</CustomFields>\n"
                    "\t</diagnostics_tests>\n"
                    "</CrashReport>\n");
    EXPECT_EQ(node.child("CustomFields").first_child().attribute("name").as_string(), std::string("user_name"));
}

TEST_F(CrashReportTest, LimitsAndNullTexts)
{
    const std::wstring long81 = std::wstring(80, L'x') + L"y";
    std::vector<std::wstring> names;
    std::vector<CrashCustomField> fields;
    for (int i = 0; i < 25; ++i)
        names.push_back(L"field " + std::to_wstring(i));
    for (const auto& name : names)
        fields.push_back({name.c_str(), L"v"});
    fields[0] = {long81.c_str(), long81.c_str()};
    fields[1] = {nullptr, L"null name"};
    const std::wstring data(4001, L'd');
    ASSERT_EQ(writeCrashReport(kAppId, long81.c_str(), 0, long81.c_str(), nullptr, data.c_str(), fields.data(), 25),
              4);
    const auto node = report();
    const std::string cut(80, 'x');
    EXPECT_EQ(node.child_value("ModuleName"), cut);
    EXPECT_EQ(node.child_value("Error"), cut);
    EXPECT_EQ(node.child_value("Category"), platform::toUtf8(kNotProvided));
    EXPECT_FALSE(node.child("ErrorData"));
    std::vector<std::string> written;
    for (const auto& field : node.child("CustomFields").children())
        written.push_back(field.attribute("name").as_string());
    ASSERT_EQ(written.size(), 19u);  // first 20, less the one without a name
    EXPECT_EQ(written.front(), cut);
    EXPECT_EQ(node.child("CustomFields").first_child().child_value(), cut);
    EXPECT_EQ(written[1], "field_2");
    EXPECT_EQ(written.back(), "field_19");
}

TEST_F(CrashReportTest, AbsentFieldsAndEmptyList)
{
    ASSERT_EQ(writeCrashReport(kAppId, nullptr, 7, nullptr, nullptr, nullptr, nullptr, 3), 0);
    auto node = report();
    for (const char* name : {"ModuleName", "Error", "Category", "ErrorData"})
        EXPECT_EQ(node.child_value(name), platform::toUtf8(kNotProvided)) << name;
    EXPECT_EQ(elementNames(node).back(), "ErrorData");  // no CustomFields element
    std::filesystem::remove(m_path);

    const std::wstring data(4000, L'd');
    CrashCustomField field{L"n", L"v"};
    ASSERT_EQ(writeCrashReport(kAppId, L"m", 7, L"e", L"c", data.c_str(), &field, 0), 0);
    node = report();
    EXPECT_EQ(node.child_value("ErrorData"), std::string(4000, 'd'));
    EXPECT_NE(readFile(m_path).find("\n\t<CustomFields></CustomFields>\n"), std::string::npos);
}

TEST_F(CrashReportTest, FolderFromRegistry)
{
    EXPECT_EQ(crashReportFolder(), defaultFolder().wstring());
    writeRegistry("[HKEY_CURRENT_USER\\Software\\Corvane\\Vesk_SDK]\n\"CrashReportPath\"=\"My Reports\\\\Crashes\"\n");
    const auto folder = dataFolder() / "My Reports" / "Crashes";
    EXPECT_EQ(crashReportFolder(), folder.wstring());
    ASSERT_EQ(writeCrashReport(kAppId, L"m", 1, L"e", L"c", L"d", nullptr, 0), 0);
    report(folder);
    EXPECT_EQ(lastCrashReportPath(), m_path.string());
    EXPECT_FALSE(std::filesystem::exists(defaultFolder()));
}

TEST_F(CrashReportTest, FailuresReturnMinusOne)
{
    // The report file's name taken by folders for this second and the next.
    std::filesystem::create_directories(defaultFolder());
    const std::time_t now = std::time(nullptr);
    for (std::time_t t : {now, now + 1}) {
        std::tm local{};
        localtime_r(&t, &local);
        char name[64];
        std::strftime(name, sizeof name, "diagnostics_tests %Y-%m-%dT%H-%M-%S.00.xml", &local);
        std::filesystem::create_directory(defaultFolder() / name);
    }
    EXPECT_EQ(writeCrashReport(kAppId, L"m", 1, L"e", L"c", L"d", nullptr, 0), -1);

    // A plain file where the report folder should be.
    std::ofstream(m_root / "blocked") << "x";
    writeRegistry("[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
                  "\"Local AppData\"=\"" + (m_root / "blocked").string() + "\"\n");
    EXPECT_EQ(writeCrashReport(kAppId, L"m", 1, L"e", L"c", L"d", nullptr, 0), -1);

    writeRegistry("[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
                  "\"Local AppData\"=-\n");
    EXPECT_EQ(crashReportFolder(), L"");
    EXPECT_EQ(writeCrashReport(kAppId, L"m", 1, L"e", L"c", L"d", nullptr, 0), -1);
}

// A report that records the order in which its fields are collected.
class RecordingReport : public AbstractCrashReport {
public:
    std::vector<std::string> order;
    void collectCategory() override { order.push_back("category"); wcscpy(m_category, L"Category"); }
    void collectErrorText() override { order.push_back("error text"); wcscpy(m_errorText, L"Error"); }
    void collectModuleName() override { order.push_back("module"); wcscpy(m_moduleName, L"Module"); }
    void collectErrorData() override { order.push_back("error data"); wcscpy(m_errorData, L"Data"); }
    void collectCustomFields() override
    {
        order.push_back("custom fields");
        m_customFields = new CrashCustomField[2]{{L"a", L"1"}, {L"b", L"2"}};
        m_customFieldCount = 2;
    }
    void collectLineNumber() override { order.push_back("line"); m_lineNumber = 99; }
    const platform::FaultInformation* fault() const { return m_fault; }
};

class RecordingSink : public CrashReportSink {
public:
    std::wstring arguments;
    int SendCrashReport(const wchar_t* moduleName, const wchar_t* errorText, const wchar_t* category,
                        int32_t lineNumber, const wchar_t* errorData, CrashCustomField* customFields,
                        int32_t customFieldCount) override
    {
        arguments = std::wstring(moduleName) + L"|" + errorText + L"|" + category + L"|" + std::to_wstring(lineNumber)
                    + L"|" + errorData + L"|" + customFields[1].name + L"|" + std::to_wstring(customFieldCount);
        return 7;
    }
};

TEST(AbstractCrashReportTest, CollectsInOrderAndHandsOver)
{
    RecordingReport report;
    RecordingSink sink;
    const platform::FaultInformation* fault = reinterpret_cast<const platform::FaultInformation*>(&sink);
    EXPECT_EQ(report.reportCrash(&sink, fault), 7);
    EXPECT_EQ(report.order, (std::vector<std::string>{"module", "category", "error text", "error data",
                                                       "custom fields", "line"}));
    EXPECT_EQ(sink.arguments, L"Module|Error|Category|99|Data|b|2");
    EXPECT_EQ(report.fault(), fault);

    RecordingReport unsent;
    EXPECT_EQ(unsent.reportCrash(nullptr, nullptr), -1);
}

}  // namespace
