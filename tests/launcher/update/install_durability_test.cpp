// A staged install makes every new file durable before the first one takes its place, and each
// directory that received one after the renames: a power loss at any moment leaves each file
// old or new. The order of the calls is what can be seen from inside, so it is recorded.
#include <algorithm>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "launcher/update/copy_path_staging.h"
#include "tests/support/sync_trace.h"
#include "tests/support/temp_dir.h"

using namespace testing_support;

TEST(InstallDurability, OneFileSystemSyncBeforeAnyRenameThenEachTouchedDirectoryOnce) {
    TempDir source;
    TempDir game;
    for (const char* name : {"a", "b"}) {
        WriteFile(source / name, std::string("new ") + name);
        WriteFile(game / "sub" / name, std::string("old ") + name);
    }
    WriteFile(game / "c", "old c");
    WriteFile(source / "c", "new c");
    const int dir = open(source.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dir, 0);
    const std::string sub = (game / "sub").string();
    {
        StagedInstall staged;
        ASSERT_TRUE(staged.StageFile(dir, "a", "a", sub, "a", false));
        ASSERT_TRUE(staged.StageFile(dir, "b", "b", sub, "b", false));
        ASSERT_TRUE(staged.StageFile(dir, "c", "c", game.path().string(), "c", false));
        StartSyncTrace();
        ASSERT_TRUE(staged.Commit());
    }
    close(dir);
    const std::vector<std::string> trace = SyncTrace();

    std::vector<std::string> kinds;
    for (const std::string& event : trace)
        kinds.push_back(event.substr(0, event.find(' ')));
    ASSERT_FALSE(kinds.empty());
    EXPECT_EQ(kinds.front(), "syncfs") << "data must be durable before the first rename";
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "syncfs"), 1);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "rename"), 3);
    // After the last rename: one sync of each directory that received a file.
    const auto lastRename = std::find(kinds.rbegin(), kinds.rend(), "rename").base();
    const std::vector<std::string> after(trace.begin() + (lastRename - kinds.begin()), trace.end());
    std::vector<std::string> expected = {"sync " + sub, "sync " + game.path().string()};
    std::vector<std::string> sortedAfter = after;
    std::sort(sortedAfter.begin(), sortedAfter.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sortedAfter, expected);
    EXPECT_EQ(ReadFile(game / "sub" / "a"), "new a");
    EXPECT_EQ(ReadFile(game / "c"), "new c");
}
