// Delete lists from update packages: how entries are read, which files they remove, and hostile
// lists that must delete nothing outside the program directory and must not keep reading.
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

#include "launcher/update/delete_list.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using namespace testing_support;
using Names = std::vector<std::string>;

namespace {

TEST(DeleteList, DeletesOnlyTheRegularFilesItValidlyNamesInsideTheProgramDirectory) {
    // root/game is the program directory, root/sentinel.txt lies outside it, and two links in
    // the program directory lead out.
    TempDir root;
    const fs::path game = root / "game";
    const fs::path sentinel = root / "sentinel.txt";
    WriteFile(sentinel, "must survive");
    fs::create_directories(game);
    fs::create_directory_symlink(root.path(), game / "escape");
    fs::create_symlink(sentinel, game / "alias.txt");
    const std::string longest = "dir/" + std::string(251, 'y'); // 255 bytes, the longest entry
    std::string utf16 = "\xFF\xFE";                             // as a Windows editor may save it
    for (char c : std::string("victim.txt\r\n"))
        utf16 += std::string{c, '\0'};

    const fs::path list = root / "package/del.lst";
    const auto expectApplied = [&](const char* what, const std::optional<std::string>& bytes,
                                   const Names& deleted, const Names& kept) {
        SCOPED_TRACE(what);
        for (const Names* names : {&deleted, &kept})
            for (const std::string& name : *names)
                WriteFile(game / name, "installed");
        fs::remove(list);
        if (bytes)
            WriteFile(list, *bytes);

        ApplyDeleteList(wxString(list.wstring()), wxString(game.wstring() + L"/"));
        for (const std::string& name : deleted)
            EXPECT_FALSE(fs::exists(game / name)) << name;
        for (const std::string& name : kept)
            EXPECT_TRUE(fs::exists(game / name)) << name;
        EXPECT_EQ(ReadFile(sentinel), "must survive");
        EXPECT_TRUE(fs::is_symlink(game / "escape"));
        EXPECT_TRUE(fs::is_symlink(game / "alias.txt"));
        EXPECT_EQ(fs::exists(list), bytes.has_value());
    };
    expectApplied("any white space separates", "a.txt\r\n\r\n\tb.txt  c.txt\v\fd.txt\nold file.txt",
                  {"a.txt", "b.txt", "c.txt", "d.txt", "old", "file.txt"}, {"old file.txt"});
    expectApplied("either separator, regular files only",
                  "data\\old.bin data/other.bin maps/keep missing.txt",
                  {"data/old.bin", "data/other.bin"}, {"maps/keep/inner.bin"});
    expectApplied("a byte-order mark or invalid UTF-8 spoils its entry",
                  "\xEF\xBB\xBF"
                  "first.txt second.txt bad\xC3(.txt",
                  {"second.txt"}, {"first.txt", "bad\xC3(.txt"});
    expectApplied("a missing list", std::nullopt, {}, {"a.txt"});
    expectApplied("an empty list", " \r\n\t ", {}, {"a.txt"});
    // ".." is refused even where it would stay inside.
    expectApplied(
        "entries leaving the program directory",
        ".. ../sentinel.txt data/../../sentinel.txt ./../sentinel.txt data/../victim.txt " +
            sentinel.string() + " //" + sentinel.string() + " C:\\sentinel.txt ..\\sentinel.txt",
        {}, {"victim.txt", "data/victim.txt"});
    expectApplied("links are never followed", "escape/sentinel.txt escape\\sentinel.txt alias.txt",
                  {}, {});
    // A longer entry must not be read as two shorter ones.
    expectApplied("an entry over 255 bytes is skipped whole", longest + "victim.txt", {},
                  {longest, "victim.txt"});
    expectApplied("the longest entry is read", std::string(10000, 'z') + " " + longest, {longest},
                  {});
    expectApplied("one byte over the longest is skipped", longest + "y", {}, {longest + "y"});
    expectApplied("a UTF-16 list", utf16, {}, {"victim.txt"});
    expectApplied("a NUL byte ends the reading",
                  std::string("first.txt vic\0tim.txt later.txt", 31), {"first.txt"},
                  {"victim.txt", "later.txt"});
}

TEST(DeleteList, AListThatIsNoRegularFileIsNotReadAndDeletesNothing) {
    TempDir root;
    const fs::path game = root / "game";
    WriteFile(game / "victim.txt", "installed");
    ASSERT_EQ(mkfifo((root / "fifo.lst").c_str(), 0600), 0); // would block a plain open
    fs::create_symlink("/dev/zero", root / "zero.lst");      // would never end
    fs::create_directory(root / "dir.lst");
    for (const char* name : {"fifo.lst", "zero.lst", "dir.lst"}) {
        ApplyDeleteList(wxString((root / name).wstring()), wxString(game.wstring() + L"/"));
        EXPECT_EQ(ReadFile(game / "victim.txt"), "installed") << name;
    }
}

} // namespace
