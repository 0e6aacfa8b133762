#include "system/file_operations.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unprivileged.h"
#include "tests/support/zip_maker.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using platform::CopyTree;
using platform::DeleteTree;
using Paths = std::vector<std::string>;
using testing_support::ListTree;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(CopyTreeTest, MergesIntoWhatIsThereAndCreatesWhatIsNot) {
    TempDir dir;
    WriteFile(dir / "src/a.txt", "new a");
    WriteFile(dir / "src/sub/b.bin", std::string("\0\x01\xFF", 3));
    fs::create_directories(dir / "src/empty");
    WriteFile(dir / "dst/a.txt", "old a, longer than the new one");
    WriteFile(dir / "dst/sub/keep.txt", "kept");
    fs::permissions(dir / "dst/a.txt", fs::perms::owner_read); // read-only is replaced
    fs::permissions(dir / "src/sub/b.bin", fs::perms(0750));
    // Copies keep the source's modification time, as the shell's copy does.
    const struct timespec archived[2] = {{0, UTIME_OMIT}, {1234567890, 500}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "src/sub/b.bin").c_str(), archived, 0), 0);
    ASSERT_TRUE(CopyTree(dir / "src", dir / "dst"));
    struct stat copied {};
    ASSERT_EQ(stat((dir / "dst/sub/b.bin").c_str(), &copied), 0);
    EXPECT_EQ(copied.st_mtim.tv_sec, 1234567890);
    EXPECT_EQ(copied.st_mtim.tv_nsec, 500);
    EXPECT_EQ(copied.st_mode & 0777, 0750u);
    ASSERT_TRUE(CopyTree(dir / "src/a.txt", dir / "out/deep/a.txt"));
    EXPECT_EQ(ReadFile(dir / "dst/a.txt"), "new a");
    EXPECT_EQ(ReadFile(dir / "dst/sub/b.bin"), std::string("\0\x01\xFF", 3));
    EXPECT_EQ(ReadFile(dir / "dst/sub/keep.txt"), "kept");
    EXPECT_TRUE(fs::is_directory(dir / "dst/empty"));
    EXPECT_EQ(ReadFile(dir / "out/deep/a.txt"), "new a");
    EXPECT_FALSE(CopyTree(dir / "dst", dir / "dst/inner")); // never into itself
    EXPECT_FALSE(fs::exists(dir / "dst/inner"));
}

TEST(CopyTreeTest, LinksAreCopiedAsLinksAndNeverWrittenThrough) {
    TempDir dir;
    WriteFile(dir / "outside/sentinel.txt", "outside");
    WriteFile(dir / "src/data.txt", "payload");
    fs::create_directory_symlink(dir / "outside", dir / "src/escape");
    fs::create_symlink("../outside/sentinel.txt", dir / "src/link.txt");
    fs::create_directories(dir / "dst"); // with a link where the source has a file
    fs::create_symlink(dir / "outside/sentinel.txt", dir / "dst/data.txt");
    EXPECT_TRUE(CopyTree(dir / "src", dir / "dst"));
    EXPECT_TRUE(fs::is_symlink(dir / "dst/escape"));
    EXPECT_EQ(fs::read_symlink(dir / "dst/link.txt"), "../outside/sentinel.txt");
    EXPECT_EQ(ReadFile(dir / "dst/data.txt"), "payload");

    WriteFile(dir / "src2/escape/planted.txt", "must not land outside");
    EXPECT_FALSE(CopyTree(dir / "src2", dir / "dst")); // dst/escape is a link to a directory
    EXPECT_FALSE(CopyTree(dir / "src2/escape", (dir / "dst/escape").native() + "/"));
    EXPECT_EQ(ListTree(dir / "outside"), Paths{"sentinel.txt"});
    EXPECT_EQ(ReadFile(dir / "outside/sentinel.txt"), "outside");
}

TEST(DeleteTreeTest, DeletesLinksButNeverWhatTheyPointTo) {
    TempDir dir;
    WriteFile(dir / "outside/sentinel.txt", "outside");
    WriteFile(dir / "victim/sub/deeper/b.txt", "b");
    fs::create_directory_symlink(dir / "outside", dir / "victim/sub/escape");
    fs::create_symlink(dir / "outside/sentinel.txt", dir / "victim/file-link");
    fs::create_symlink(dir / "nowhere", dir / "victim/dangling");
    fs::create_directory_symlink(dir / "outside", dir / "link");
    EXPECT_TRUE(DeleteTree(dir / "victim"));
    EXPECT_TRUE(DeleteTree((dir / "link").native() + "//")); // a link given directly
    EXPECT_FALSE(DeleteTree(dir / "victim"));                // nothing left to delete
    EXPECT_EQ(ListTree(dir.path()), (Paths{"outside", "outside/sentinel.txt"}));
    EXPECT_EQ(ReadFile(dir / "outside/sentinel.txt"), "outside");
}

TEST(DeleteTreeTest, WhatCannotBeDeletedIsReportedAndTheRestGoes) {
    TempDir dir;
    WriteFile(dir / "locked/inner/file.txt", "x");
    WriteFile(dir / "locked/other.txt", "y");
    fs::permissions(dir / "locked", fs::perms::all);
    fs::permissions(dir / "locked/inner", fs::perms::all);
    fs::permissions(dir / "locked/inner",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_TRUE(testing_support::AsUnprivilegedUser(dir.path(),
                                                    [&] { return !DeleteTree(dir / "locked"); }));
    EXPECT_TRUE(fs::exists(dir / "locked/inner/file.txt"));
    EXPECT_FALSE(fs::exists(dir / "locked/other.txt"));
}

} // namespace
