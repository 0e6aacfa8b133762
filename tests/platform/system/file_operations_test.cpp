#include "system/file_operations.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using platform::CopyTree;
using platform::DeleteTree;
using platform::ReplaceFileAtomically;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

size_t CountEntries(const fs::path& dir) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir))
        ++count;
    return count;
}

TEST(CopyTreeTest, MergesADirectoryIntoAnExistingOne) {
    TempDir dir;
    WriteFile(dir / "src/a.txt", "new a");
    WriteFile(dir / "src/sub/b.txt", "new b");
    fs::create_directories(dir / "src/empty");
    WriteFile(dir / "dst/a.txt", "old a, longer than the new one");
    WriteFile(dir / "dst/sub/keep.txt", "kept");
    WriteFile(dir / "dst/only.txt", "kept too");
    fs::permissions(dir / "dst/a.txt", fs::perms::owner_read); // read-only is replaced

    ASSERT_TRUE(CopyTree(dir / "src", dir / "dst"));
    EXPECT_EQ(ReadFile(dir / "dst/a.txt"), "new a");
    EXPECT_EQ(ReadFile(dir / "dst/sub/b.txt"), "new b");
    EXPECT_EQ(ReadFile(dir / "dst/sub/keep.txt"), "kept");
    EXPECT_EQ(ReadFile(dir / "dst/only.txt"), "kept too");
    EXPECT_TRUE(fs::is_directory(dir / "dst/empty"));
    EXPECT_EQ(ReadFile(dir / "src/a.txt"), "new a");
}

TEST(CopyTreeTest, CreatesMissingDestinationsForFilesAndTrees) {
    TempDir dir;
    WriteFile(dir / "file.bin", std::string("\0\x01\xFF", 3));
    WriteFile(dir / "tree/x/y.txt", "y");
    fs::permissions(dir / "tree/x", fs::perms::owner_read | fs::perms::owner_exec);
    ASSERT_TRUE(CopyTree(dir / "file.bin", dir / "out/deep/file.bin"));
    EXPECT_EQ(ReadFile(dir / "out/deep/file.bin"), std::string("\0\x01\xFF", 3));
    ASSERT_TRUE(CopyTree(dir / "tree", dir / "out/tree"));
    EXPECT_EQ(ReadFile(dir / "out/tree/x/y.txt"), "y");
}

TEST(CopyTreeTest, LinksAreCopiedAsLinksAndNeverWrittenThrough) {
    TempDir dir;
    WriteFile(dir / "outside/sentinel.txt", "outside");
    WriteFile(dir / "src/data.txt", "payload");
    fs::create_directory_symlink(dir / "outside", dir / "src/escape");
    fs::create_symlink("../outside/sentinel.txt", dir / "src/link.txt");
    // In the destination, links sit where the source has a file and a directory.
    fs::create_directories(dir / "dst");
    fs::create_symlink(dir / "outside/sentinel.txt", dir / "dst/data.txt");

    EXPECT_TRUE(CopyTree(dir / "src", dir / "dst"));
    EXPECT_TRUE(fs::is_symlink(dir / "dst/escape"));
    EXPECT_EQ(fs::read_symlink(dir / "dst/link.txt"), "../outside/sentinel.txt");
    EXPECT_FALSE(fs::is_symlink(dir / "dst/data.txt"));
    EXPECT_EQ(ReadFile(dir / "dst/data.txt"), "payload");
    EXPECT_EQ(ReadFile(dir / "outside/sentinel.txt"), "outside");
    EXPECT_EQ(CountEntries(dir / "outside"), 1u);

    WriteFile(dir / "src2/escape/planted.txt", "must not land outside");
    EXPECT_FALSE(CopyTree(dir / "src2", dir / "dst")); // dst/escape is a link to a directory
    EXPECT_FALSE(CopyTree(dir / "src2/escape", (dir / "dst/escape").native() + "/"));
    EXPECT_FALSE(fs::exists(dir / "outside/planted.txt"));
}

TEST(CopyTreeTest, ReportsWhatCannotBeCopied) {
    TempDir dir;
    WriteFile(dir / "src/a.txt", "a");
    WriteFile(dir / "src/b.txt", "b");
    fs::create_directories(dir / "dst/a.txt"); // a directory where a file goes
    EXPECT_FALSE(CopyTree(dir / "src", dir / "dst"));
    EXPECT_EQ(ReadFile(dir / "dst/b.txt"), "b"); // the rest still arrives

    EXPECT_FALSE(CopyTree(dir / "missing", dir / "dst2"));
    EXPECT_FALSE(fs::exists(dir / "dst2"));
    EXPECT_FALSE(CopyTree(dir / "src", dir / "src/inner")); // into itself
    EXPECT_FALSE(fs::exists(dir / "src/inner"));
    EXPECT_FALSE(CopyTree(dir / "src/a.txt", dir / "src/a.txt"));
    EXPECT_EQ(ReadFile(dir / "src/a.txt"), "a");
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_FALSE(CopyTree(dir / "pipe", dir / "pipe-copy"));
}

TEST(DeleteTreeTest, DeletesEverythingButWhatLinksPointTo) {
    TempDir dir;
    WriteFile(dir / "outside/sentinel.txt", "outside");
    WriteFile(dir / "victim/a.txt", "a");
    WriteFile(dir / "victim/sub/deeper/b.txt", "b");
    fs::create_directory_symlink(dir / "outside", dir / "victim/sub/escape");
    fs::create_symlink(dir / "outside/sentinel.txt", dir / "victim/file-link");
    fs::create_symlink(dir / "nowhere", dir / "victim/dangling");

    EXPECT_TRUE(DeleteTree(dir / "victim"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "victim")));
    EXPECT_EQ(ReadFile(dir / "outside/sentinel.txt"), "outside");
}

TEST(DeleteTreeTest, ALinkGivenDirectlyIsRemovedNotItsTarget) {
    TempDir dir;
    WriteFile(dir / "outside/sentinel.txt", "outside");
    fs::create_directory_symlink(dir / "outside", dir / "link");
    fs::create_directory_symlink(dir / "outside", dir / "slashed");
    EXPECT_TRUE(DeleteTree(dir / "link"));
    EXPECT_TRUE(DeleteTree((dir / "slashed").native() + "//")); // as a directory name is built
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "link")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "slashed")));
    EXPECT_EQ(ReadFile(dir / "outside/sentinel.txt"), "outside");
}

TEST(DeleteTreeTest, TrueOnlyWhenThePathExistedAndIsGone) {
    TempDir dir;
    EXPECT_FALSE(DeleteTree(dir / "missing"));
    EXPECT_FALSE(DeleteTree(""));
    WriteFile(dir / "single.txt", "x");
    EXPECT_TRUE(DeleteTree(dir / "single.txt"));
    EXPECT_FALSE(fs::exists(dir / "single.txt"));

    if (geteuid() == 0)
        GTEST_SKIP() << "root deletes from read-only directories";
    WriteFile(dir / "locked/inner/file.txt", "x");
    WriteFile(dir / "locked/other.txt", "y");
    fs::permissions(dir / "locked/inner", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(DeleteTree(dir / "locked"));
    EXPECT_TRUE(fs::exists(dir / "locked/inner/file.txt"));
    EXPECT_FALSE(fs::exists(dir / "locked/other.txt")); // the rest is still deleted
}

TEST(ReplaceFileAtomicallyTest, ReplacesContentAndKeepsPermissions) {
    TempDir dir;
    const fs::path target = dir / "ServerList.xml";
    ASSERT_TRUE(ReplaceFileAtomically(target, "first"));
    EXPECT_EQ(ReadFile(target), "first");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const std::string large(1 << 20, 'x');
    ASSERT_TRUE(ReplaceFileAtomically(target, large));
    EXPECT_EQ(ReadFile(target), large);
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(ReplaceFileAtomically(target, ""));
    EXPECT_EQ(fs::file_size(target), 0u);
    EXPECT_EQ(CountEntries(dir.path()), 1u); // no temporary sibling left behind
}

TEST(ReplaceFileAtomicallyTest, FailureLeavesTheTargetAlone) {
    TempDir dir;
    EXPECT_FALSE(ReplaceFileAtomically(dir / "missing-dir/file.ini", "x"));
    EXPECT_FALSE(fs::exists(dir / "missing-dir"));

    // A directory in the target's place cannot be renamed over.
    WriteFile(dir / "busy/content.txt", "content");
    EXPECT_FALSE(ReplaceFileAtomically(dir / "busy", "x"));
    EXPECT_EQ(ReadFile(dir / "busy/content.txt"), "content");
    EXPECT_EQ(CountEntries(dir.path()), 1u); // the temporary file was removed
}

} // namespace
