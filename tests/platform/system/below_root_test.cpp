// Paths from data stay below their root: refused as text when they climb or are absolute, and
// never led outside by a link or a file on the way when the directories are opened.
#include "system/below_root.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unprivileged.h"

#include <fcntl.h>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using platform::OpenDirectoryBelow;
using platform::SplitRelativePath;
using platform::WalkStop;
using testing_support::TempDir;
using testing_support::WriteFile;
using Segments = std::vector<std::string>;

TEST(SplitRelativePath, NormalisesSeparatorsAndRefusesWhatCouldLeaveTheRoot) {
    const struct {
        std::string path;
        std::optional<Segments> segments;
    } cases[] = {
        {"a/b\\c.txt", Segments{"a", "b", "c.txt"}},
        {"a//./b/", Segments{"a", "b"}},
        {"./", Segments{}},
        {"...", Segments{"..."}},
        {"..a/b..", Segments{"..a", "b.."}},
        {"", std::nullopt},
        {"/etc/passwd", std::nullopt},
        {"\\windows", std::nullopt},
        {"C:x", std::nullopt},
        {"c:\\x", std::nullopt},
        {"..", std::nullopt},
        {"a/../../b", std::nullopt},
        {"a\\..\\b", std::nullopt},
        {"a/..", std::nullopt},
        {std::string("a\0b", 3), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(SplitRelativePath(c.path), c.segments);
    }
}

class Below : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(outside / "target");
        fs::create_directories(root / "game/data");
        fs::create_directory_symlink(outside.path(), root / "game/escape");
        WriteFile(root / "game/file", "a file in the way");
        rootFd = platform::UniqueFd(open(root.path().c_str(), O_RDONLY | O_DIRECTORY));
        ASSERT_TRUE(rootFd);
    }
    // Opens the levels of path below the root; what stopped the walk, None when it opened.
    WalkStop Walk(const std::string& path, bool create) {
        const auto levels = SplitRelativePath(path);
        WalkStop stop = WalkStop::Failed;
        const platform::UniqueFd fd = OpenDirectoryBelow(rootFd.get(), *levels, create, &stop);
        EXPECT_EQ(fd.valid(), stop == WalkStop::None) << path;
        return stop;
    }
    TempDir root;
    TempDir outside;
    platform::UniqueFd rootFd;
};

TEST_F(Below, OpensAndCreatesLevelsButNeverThroughALinkOrAFile) {
    EXPECT_EQ(Walk("./", false), WalkStop::None);
    EXPECT_EQ(Walk("game/data", false), WalkStop::None);
    EXPECT_EQ(Walk("game/new/deeper", false), WalkStop::Missing);
    EXPECT_FALSE(fs::exists(root / "game/new"));
    EXPECT_EQ(Walk("game/new/deeper", true), WalkStop::None);
    EXPECT_TRUE(fs::is_directory(root / "game/new/deeper"));

    EXPECT_EQ(Walk("game/escape", false), WalkStop::Link);
    EXPECT_EQ(Walk("game/escape/target", true), WalkStop::Link);
    EXPECT_EQ(Walk("game/escape/made", true), WalkStop::Link);
    EXPECT_FALSE(fs::exists(outside / "made"));
    EXPECT_EQ(Walk("game/file/below", true), WalkStop::NotDirectory);
    EXPECT_EQ(Walk("game/file", true), WalkStop::NotDirectory);
    EXPECT_EQ(testing_support::ReadFile(root / "game/file"), "a file in the way");
}

TEST_F(Below, ALevelThatCannotBeCreatedIsAFailure) {
    fs::permissions(root / "game",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_TRUE(testing_support::AsUnprivilegedUser(root.path(), [&] {
        return Walk("game/data", false) == WalkStop::None &&
               Walk("game/new", true) == WalkStop::Failed;
    }));
    EXPECT_FALSE(fs::exists(root / "game/new"));
}

} // namespace
