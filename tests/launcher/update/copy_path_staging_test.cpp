// Staged installs: nothing reaches its place before Commit, Commit puts every file in place in
// staging order and stops at a rename that may not fail, and nothing staged outlives Discard.
// Commit makes every new file durable before the first one takes its place, and the new names
// after the renames, so that a power loss leaves each file old or new; the order of the calls
// is what can be seen from inside, so it is recorded.
#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "launcher/update/copy_path_staging.h"
#include "system/atomic_replace.h"
#include "tests/support/sync_trace.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_maker.h"

namespace fs = std::filesystem;
using namespace testing_support;
using Paths = std::vector<std::string>;

namespace {

class Staging : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"a", "b", "c"}) {
            WriteFile(source / name, std::string("new ") + name);
            WriteFile(game / name, std::string("old ") + name);
        }
        dir = open(source.path().c_str(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(dir, 0);
    }
    void TearDown() override { close(dir); }

    bool Stage(StagedInstall& staged, const char* name, bool mayFail = false) {
        return staged.StageFile(dir, name, (source / name).string(), game.path().string(), name,
                                mayFail);
    }
    // The names in the game directory that are our temporaries.
    size_t Temporaries() const {
        size_t count = 0;
        for (const std::string& name : ListTree(game.path()))
            count += platform::IsTemporarySiblingName(name) ? 1u : 0u;
        return count;
    }

    TempDir source;
    TempDir game;
    int dir = -1;
};

TEST_F(Staging, FilesReachTheirPlacesOnlyAtCommitWithTheSourcesPermissions) {
    fs::permissions(source / "b", fs::perms(0751));
    StagedInstall staged;
    ASSERT_TRUE(Stage(staged, "a"));
    ASSERT_TRUE(Stage(staged, "b"));
    EXPECT_EQ(ReadFile(game / "a"), "old a");
    EXPECT_EQ(Temporaries(), 2u);

    ASSERT_TRUE(staged.Commit());
    EXPECT_EQ(ReadFile(game / "a"), "new a");
    EXPECT_EQ(ReadFile(game / "b"), "new b");
    EXPECT_EQ(fs::status(game / "b").permissions(), fs::perms(0751));
    EXPECT_EQ(ListTree(game.path()), (Paths{"a", "b", "c"}));
}

TEST_F(Staging, DiscardAndDestructionLeaveTheInstallationAsItWas) {
    {
        StagedInstall staged;
        ASSERT_TRUE(Stage(staged, "a"));
        staged.Discard();
        ASSERT_TRUE(Stage(staged, "b"));
    }
    EXPECT_EQ(ReadFile(game / "a"), "old a");
    EXPECT_EQ(ReadFile(game / "b"), "old b");
    EXPECT_EQ(ListTree(game.path()), (Paths{"a", "b", "c"}));
}

TEST_F(Staging, AFailedRenameStopsTheCommitUnlessTheFileMayFail) {
    // A directory with content where "b" goes makes its rename fail.
    fs::remove(game / "b");
    WriteFile(game / "b/held", "");
    StagedInstall staged;
    ASSERT_TRUE(Stage(staged, "a"));
    ASSERT_TRUE(Stage(staged, "b", true));
    ASSERT_TRUE(Stage(staged, "c"));
    EXPECT_TRUE(staged.Commit());
    EXPECT_EQ(ReadFile(game / "c"), "new c");

    WriteFile(source / "a", "newer a");
    WriteFile(source / "c", "newer c");
    ASSERT_TRUE(Stage(staged, "a"));
    ASSERT_TRUE(Stage(staged, "b"));
    ASSERT_TRUE(Stage(staged, "c"));
    EXPECT_FALSE(staged.Commit());
    // As one file after another: what came before the failure is in, what came after is not.
    EXPECT_EQ(ReadFile(game / "a"), "newer a");
    EXPECT_EQ(ReadFile(game / "c"), "new c");
    EXPECT_EQ(Temporaries(), 0u);
}

TEST_F(Staging, OnlyRegularFilesAreStaged) {
    fs::create_symlink(source / "a", source / "link");
    fs::create_directory(source / "dir");
    ASSERT_EQ(mkfifo((source / "fifo").c_str(), 0600), 0);
    StagedInstall staged;
    for (const char* name : {"link", "dir", "fifo", "missing"})
        EXPECT_FALSE(Stage(staged, name)) << name;
    EXPECT_TRUE(Stage(staged, "fifo", true)); // logged and passed over
    EXPECT_TRUE(staged.Commit());
    EXPECT_EQ(ListTree(game.path()), (Paths{"a", "b", "c"}));
}

// The kinds of the recorded events ("syncfs", "sync", "rename"), in order.
std::vector<std::string> Kinds(const std::vector<std::string>& trace) {
    std::vector<std::string> kinds;
    for (const std::string& event : trace)
        kinds.push_back(event.substr(0, event.find(' ')));
    return kinds;
}

TEST_F(Staging, CommitSyncsTheFileSystemBeforeTheFirstRenameAndOnceAfterTheLast) {
    const std::string sub = (game / "sub").string();
    fs::create_directories(sub);
    {
        StagedInstall staged;
        ASSERT_TRUE(staged.StageFile(dir, "a", "a", sub, "a", false));
        ASSERT_TRUE(staged.StageFile(dir, "b", "b", sub, "b", false));
        ASSERT_TRUE(Stage(staged, "c"));
        testing_support::StartSyncTrace();
        ASSERT_TRUE(staged.Commit());
    }
    // One journal commit for all new names, not one sync per directory.
    EXPECT_EQ(Kinds(testing_support::SyncTrace()),
              (Paths{"syncfs", "rename", "rename", "rename", "syncfs"}));
    EXPECT_EQ(ReadFile(game / "sub/a"), "new a");
    EXPECT_EQ(ReadFile(game / "c"), "new c");
}

TEST_F(Staging, APackageOverManyDirectoriesIsPutInPlaceOnlyAtCommit) {
    // More directories than are held open at once: none of their files may be put in place
    // early (with a sync of its own) to make room.
    constexpr int kDirectories = 300;
    StagedInstall staged;
    testing_support::StartSyncTrace();
    for (int i = 0; i < kDirectories; ++i) {
        const std::string sub = (game / ("d" + std::to_string(i))).string();
        fs::create_directories(sub);
        ASSERT_TRUE(staged.StageFile(dir, "a", "a", sub, "a", false)) << i;
    }
    EXPECT_TRUE(testing_support::SyncTrace().empty());
    EXPECT_FALSE(fs::exists(game / "d0/a"));
    ASSERT_TRUE(staged.Commit());
    const std::vector<std::string> kinds = Kinds(testing_support::SyncTrace());
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "rename"), kDirectories);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "syncfs"), 2);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "sync"), 0);
    for (int i = 0; i < kDirectories; i += 37)
        EXPECT_EQ(ReadFile(game / ("d" + std::to_string(i)) / "a"), "new a") << i;
    EXPECT_EQ(Temporaries(), 0u);
}

} // namespace
