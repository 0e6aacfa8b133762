// Atomic replacement: the target holds the old bytes or the new ones, a link in its place is
// replaced rather than followed, and no temporary sibling survives a failure.
#include "system/atomic_replace.h"
#include "system/unique_fd.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unprivileged.h"
#include "tests/support/zip_maker.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using platform::CommitFileInto;
using platform::IsTemporarySiblingName;
using platform::ReplaceFileAtomically;
using platform::ReplaceFileFromDescriptor;
using platform::TemporarySiblingName;
using Paths = std::vector<std::string>;
using testing_support::ListTree;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

mode_t Mode(const fs::path& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(ReplaceFileAtomically, ReplacesTheFileKeepingItsPermissionsAndALinkIsReplacedNotFollowed) {
    TempDir dir;
    WriteFile(dir / "zel.ini", "old, and longer than the new content");
    fs::permissions(dir / "zel.ini",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    WriteFile(dir / "sentinel", "outside");
    fs::create_symlink(dir / "sentinel", dir / "version.ini");
    fs::create_symlink(dir / "nowhere", dir / "dangling.ini");

    ASSERT_TRUE(ReplaceFileAtomically(dir / "zel.ini", "new"));
    ASSERT_TRUE(ReplaceFileAtomically(dir / "version.ini", "v2"));
    ASSERT_TRUE(ReplaceFileAtomically(dir / "dangling.ini", "d"));
    ASSERT_TRUE(ReplaceFileAtomically(dir / "created.ini", ""));

    EXPECT_EQ(ReadFile(dir / "zel.ini"), "new");
    EXPECT_EQ(Mode(dir / "zel.ini"), 0640u);
    EXPECT_EQ(ReadFile(dir / "sentinel"), "outside");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "version.ini")));
    EXPECT_EQ(ReadFile(dir / "version.ini"), "v2");
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    EXPECT_EQ(ReadFile(dir / "dangling.ini"), "d");
    EXPECT_TRUE(fs::is_regular_file(dir / "created.ini"));
    EXPECT_EQ(ListTree(dir.path()),
              (Paths{"created.ini", "dangling.ini", "sentinel", "version.ini", "zel.ini"}));
}

TEST(ReplaceFileAtomically, AFailureKeepsTheOldBytesAndLeavesNoTemporaryFile) {
    TempDir dir;
    fs::create_directories(dir / "in-the-way/inner");
    EXPECT_FALSE(ReplaceFileAtomically(dir / "in-the-way", "x"));
    EXPECT_TRUE(fs::is_directory(dir / "in-the-way/inner"));
    EXPECT_FALSE(ReplaceFileAtomically(dir / "no-such-dir/file", "x"));
    EXPECT_FALSE(ReplaceFileAtomically(dir / "..", "x"));
    EXPECT_EQ(ListTree(dir.path()), (Paths{"in-the-way", "in-the-way/inner"}));

    // A source that fails mid-copy (a directory cannot be read as bytes).
    WriteFile(dir / "big.pak", "old package");
    const platform::UniqueFd directory(open(dir.path().c_str(), O_RDONLY | O_DIRECTORY));
    EXPECT_FALSE(ReplaceFileFromDescriptor(dir / "big.pak", directory.get()));
    EXPECT_EQ(ReadFile(dir / "big.pak"), "old package");
    EXPECT_EQ(ListTree(dir.path()), (Paths{"big.pak", "in-the-way", "in-the-way/inner"}));

    fs::create_directory(dir / "read-only");
    WriteFile(dir / "read-only/zel.ini", "kept");
    fs::permissions(dir / "read-only", fs::perms::all);
    fs::permissions(dir / "read-only/zel.ini", fs::perms::all);
    fs::permissions(dir / "read-only",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_TRUE(testing_support::AsUnprivilegedUser(dir.path(), [&] {
        return ReadFile(dir / "read-only/zel.ini") == "kept" &&
               !ReplaceFileAtomically(dir / "read-only/zel.ini", "lost");
    }));
    EXPECT_EQ(ReadFile(dir / "read-only/zel.ini"), "kept");
    EXPECT_EQ(ListTree(dir / "read-only"), Paths{"zel.ini"});
}

// Copying across buffers is in unique_fd_test's CopyToEnd case.
TEST(ReplaceFileFromDescriptor, CopiesTheSourceWithTheGivenPermissions) {
    TempDir dir;
    WriteFile(dir / "source", std::string("new\0bytes", 9));
    WriteFile(dir / "target", "old");
    const platform::UniqueFd source(open((dir / "source").c_str(), O_RDONLY));
    ASSERT_TRUE(ReplaceFileFromDescriptor(dir / "target", source.get(), 0751));
    EXPECT_EQ(ReadFile(dir / "target"), std::string("new\0bytes", 9));
    EXPECT_EQ(Mode(dir / "target"), 0751u);
    EXPECT_EQ(ListTree(dir.path()), (Paths{"source", "target"}));
}

TEST(AtomicFileWriter, NothingChangesUntilCommitAndADroppedWriterLeavesNothing) {
    TempDir dir;
    WriteFile(dir / "ServerList.xml", "old list");
    {
        platform::AtomicFileWriter writer;
        ASSERT_TRUE(writer.Begin(dir / "ServerList.xml"));
        ASSERT_EQ(write(writer.fd(), "half", 4), 4);
        EXPECT_EQ(ReadFile(dir / "ServerList.xml"), "old list");
        EXPECT_EQ(ListTree(dir.path()).size(), 2u); // the temporary sibling, while it is written
    }
    EXPECT_EQ(ReadFile(dir / "ServerList.xml"), "old list");
    EXPECT_EQ(ListTree(dir.path()), Paths{"ServerList.xml"});
}

TEST(CommitFileInto, PutsAKeptFileInPlaceAndAFailureLeavesBothNamesAsTheyWere) {
    TempDir dir;
    WriteFile(dir / "list.xml", "old list");
    WriteFile(dir / "sentinel", "outside");
    fs::create_symlink(dir / "sentinel", dir / "linked.xml");
    const auto openPart = [&](const fs::path& path, const std::string& bytes) {
        platform::UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600));
        EXPECT_EQ(write(fd.get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        return fd;
    };

    platform::UniqueFd part = openPart(dir / "list.xml.part", "new list");
    ASSERT_TRUE(CommitFileInto(part, dir / "list.xml.part", dir / "list.xml"));
    EXPECT_FALSE(part);
    EXPECT_EQ(ReadFile(dir / "list.xml"), "new list");

    // A link in the target's place is replaced, the file it points to untouched.
    part = openPart(dir / "linked.xml.part", "replaced");
    ASSERT_TRUE(CommitFileInto(part, dir / "linked.xml.part", dir / "linked.xml"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "linked.xml")));
    EXPECT_EQ(ReadFile(dir / "sentinel"), "outside");

    // Not a sibling, a directory in the way, a closed descriptor: nothing moves.
    fs::create_directory(dir / "sub");
    part = openPart(dir / "sub/list.xml.part", "elsewhere");
    EXPECT_FALSE(CommitFileInto(part, dir / "sub/list.xml.part", dir / "list.xml"));
    EXPECT_FALSE(part);
    fs::create_directories(dir / "in-the-way/inner");
    part = openPart(dir / "in-the-way.part", "blocked");
    EXPECT_FALSE(CommitFileInto(part, dir / "in-the-way.part", dir / "in-the-way"));
    platform::UniqueFd closed;
    EXPECT_FALSE(CommitFileInto(closed, dir / "in-the-way.part", dir / "list.xml"));

    EXPECT_EQ(ReadFile(dir / "list.xml"), "new list");
    EXPECT_EQ(ReadFile(dir / "sub/list.xml.part"), "elsewhere");
    EXPECT_EQ(ReadFile(dir / "in-the-way.part"), "blocked");
    EXPECT_TRUE(fs::is_directory(dir / "in-the-way/inner"));
    EXPECT_EQ(ListTree(dir.path()),
              (Paths{"in-the-way", "in-the-way.part", "in-the-way/inner", "linked.xml", "list.xml",
                     "sentinel", "sub", "sub/list.xml.part"}));
}

TEST(TemporarySiblingName, IsHiddenRandomAndRecognisedWhileOtherNamesAreNot) {
    std::set<std::string> made;
    for (int i = 0; i < 100; ++i) {
        const std::string name = TemporarySiblingName("zel.ini");
        EXPECT_TRUE(name.starts_with(".zel.ini.tmp-")) << name;
        EXPECT_TRUE(IsTemporarySiblingName(name)) << name;
        made.insert(name);
    }
    EXPECT_EQ(made.size(), 100u);
    for (const char* other : {"zel.ini", ".zel.ini", ".zel.ini.tmp-",
                              ".zel.ini.tmp-0123456789abcde", ".zel.ini.tmp-0123456789ABCDEF",
                              ".zel.ini.tmp-0123456789abcdeg", "zel.ini.tmp-0123456789abcdef",
                              ".zel.ini.tmp-0123456789abcdef0", ".tmp-0123456789abcdef"}) {
        EXPECT_FALSE(IsTemporarySiblingName(other)) << other;
    }
    EXPECT_TRUE(IsTemporarySiblingName(".zel.ini.tmp-0123456789abcdef"));
}

} // namespace
