#include "isolatedenvironment.h"

#include "platform/paths.h"

using namespace platform;

namespace {

class PathsTest : public IsolatedEnvironment {};

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

    std::ofstream(m_root / "file") << "x";  // a plain file in the way
    EXPECT_FALSE(createFolders(joinPath(m_root.wstring(), L"file\\sub")));
    EXPECT_FALSE(createFolders(L""));
}

}  // namespace
