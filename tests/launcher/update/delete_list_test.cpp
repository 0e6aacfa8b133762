// Delete lists from update packages: how entries are read, which files they remove, and hostile
// lists that must delete nothing outside the program directory and must not keep reading.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "launcher/update/delete_list.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// root/game is the program directory; root/sentinel.txt lies outside it.
class DeleteList : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(game);
        WriteFile(sentinel, "must survive");
    }

    void Apply(const std::string& list) {
        WriteFile(listFile, list);
        ApplyDeleteList(wxString(listFile.wstring()), wxString(game.wstring() + L"/"));
    }
    void Install(const std::string& relative) { WriteFile(game / relative, "installed"); }
    bool Installed(const std::string& relative) const {
        return fs::exists(fs::symlink_status(game / relative));
    }

    TempDir root;
    const fs::path game = root / "game";
    const fs::path sentinel = root / "sentinel.txt";
    const fs::path listFile = root / "package/del.lst";
};

TEST_F(DeleteList, EntriesAreSeparatedByAnyWhiteSpace) {
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "old", "file.txt"})
        Install(name);
    Install("old file.txt");
    Apply("a.txt\r\n\r\n\tb.txt  c.txt\v\fd.txt\nold file.txt");
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "old", "file.txt"})
        EXPECT_FALSE(Installed(name)) << name;
    EXPECT_TRUE(Installed("old file.txt"));
}

TEST_F(DeleteList, EntriesMayUseEitherSeparatorAndNameOnlyRegularFiles) {
    Install("data/old.bin");
    Install("data/other.bin");
    Install("maps/keep/inner.bin");
    Apply("data\\old.bin data/other.bin maps/keep missing.txt");
    EXPECT_FALSE(Installed("data/old.bin"));
    EXPECT_FALSE(Installed("data/other.bin"));
    EXPECT_TRUE(Installed("maps/keep/inner.bin"));
}

TEST_F(DeleteList, ByteOrderMarkAndInvalidUtf8EntriesDeleteNothing) {
    Install("first.txt");
    Install("second.txt");
    Install("bad\xC3(.txt");
    Apply("\xEF\xBB\xBF"
          "first.txt second.txt bad\xC3(.txt");
    EXPECT_TRUE(Installed("first.txt"));
    EXPECT_FALSE(Installed("second.txt"));
    EXPECT_TRUE(Installed("bad\xC3(.txt"));
}

TEST_F(DeleteList, MissingOrEmptyListDoesNothing) {
    Install("a.txt");
    ApplyDeleteList(wxString((root / "absent.lst").wstring()), wxString(game.wstring() + L"/"));
    Apply("");
    Apply(" \r\n\t ");
    EXPECT_TRUE(Installed("a.txt"));
}

TEST_F(DeleteList, EntriesLeavingTheProgramDirectoryAreRefused) {
    Install("data/victim.txt");
    Apply(".. ../sentinel.txt data/../../sentinel.txt ./../sentinel.txt data/../victim.txt " +
          sentinel.string() + " //" + sentinel.string() + " C:\\sentinel.txt ..\\sentinel.txt");
    EXPECT_EQ(ReadFile(sentinel), "must survive");
    // ".." is refused even where it would stay inside.
    EXPECT_TRUE(Installed("data/victim.txt"));
    EXPECT_TRUE(fs::exists(root / "package/del.lst"));
}

TEST_F(DeleteList, LinksAreNeverFollowed) {
    fs::create_directory_symlink(root.path(), game / "escape");
    fs::create_symlink(sentinel, game / "alias.txt");
    Apply("escape/sentinel.txt escape\\sentinel.txt alias.txt");
    EXPECT_EQ(ReadFile(sentinel), "must survive");
    EXPECT_TRUE(Installed("escape"));
    EXPECT_TRUE(Installed("alias.txt"));
}

TEST_F(DeleteList, OverlongEntriesAreSkippedWholeNeverSplit) {
    // 255 bytes is the longest entry; a longer one must not be read as two shorter ones.
    const std::string longest = "dir/" + std::string(251, 'y');
    ASSERT_EQ(longest.size(), 255u);
    Install(longest);
    Install("victim.txt");
    Apply(longest + "victim.txt");
    EXPECT_TRUE(Installed(longest));
    EXPECT_TRUE(Installed("victim.txt"));

    Apply(std::string(10000, 'z') + " " + longest);
    EXPECT_FALSE(Installed(longest));
}

TEST_F(DeleteList, ListsThatAreNotTextEndTheReading) {
    Install("victim.txt");
    Install("first.txt");
    Install("later.txt");
    // UTF-16 with a byte-order mark, as a Windows editor may save it.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("victim.txt\r\n"))
        utf16 += std::string{c, '\0'};
    Apply(utf16);
    EXPECT_TRUE(Installed("victim.txt"));

    Apply(std::string("first.txt vic\0tim.txt later.txt", 31));
    EXPECT_FALSE(Installed("first.txt"));
    EXPECT_TRUE(Installed("victim.txt"));
    EXPECT_TRUE(Installed("later.txt"));
    EXPECT_EQ(ReadFile(sentinel), "must survive");
}

} // namespace
