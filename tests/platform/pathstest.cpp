#include "isolatedenvironment.h"

#include "platform/localtime.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <regex>

using namespace platform;

namespace {

class PathsTest : public IsolatedEnvironment {};

TEST_F(PathsTest, JoinsWithTheNativeSeparator)
{
    EXPECT_EQ(joinPath(L"/data", L"\\Corvane\\CorvaneSkyfoldSDK\\Log"), L"/data/Corvane/CorvaneSkyfoldSDK/Log");
    EXPECT_EQ(joinPath(L"/data/", L"Corvane/Reports"), L"/data/Corvane/Reports");
    EXPECT_EQ(joinPath(L"", L"a\\b"), L"a/b");
    EXPECT_EQ(joinPath(L"/data", L""), L"/data");
}

TEST_F(PathsTest, CreatesNestedFoldersWithoutAShell)
{
    // A name that would run a command if it went through a shell.
    const std::filesystem::path marker = m_root / "ran";
    const std::wstring hostile = L"a\"; touch '" + marker.wstring() + L"'; echo \"$(id)";
    const std::wstring folder = joinPath(m_root.wstring(), L"one\\two\\" + hostile);
    EXPECT_TRUE(createFolders(folder));
    EXPECT_TRUE(std::filesystem::is_directory(toFileSystemPath(folder)));
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_TRUE(createFolders(folder));  // already there

    // A plain file in the way: no folder.
    std::ofstream(m_root / "file") << "x";
    EXPECT_FALSE(createFolders(joinPath(m_root.wstring(), L"file\\sub")));
    EXPECT_FALSE(createFolders(L""));
}

TEST_F(PathsTest, TextRoundTripsThroughUtf8)
{
    const std::wstring text = L"A\u00e9\u20ac\U0001F600";
    EXPECT_EQ(toUtf8(text), "A\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80");
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
    EXPECT_EQ(fromUtf8("a\xff" "b\xc3"), L"a\ufffdb\ufffd");
}

TEST_F(PathsTest, FormatsLocalTime)
{
    const std::string stamp = formatLocalTime("%m-%d-%y %H:%M:%S");
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d\d-\d\d-\d\d \d\d:\d\d:\d\d)"))) << stamp;
    std::tm time{};
    time.tm_year = 107;
    time.tm_mon = 3;
    time.tm_mday = 11;
    time.tm_hour = 14;
    time.tm_min = 5;
    time.tm_sec = 9;
    EXPECT_EQ(formatTime(time, "%Y-%m-%dT%H:%M:%S.000"), "2007-04-11T14:05:09.000");
}

}  // namespace
