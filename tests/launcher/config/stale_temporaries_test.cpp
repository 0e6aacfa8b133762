// Start-up removes the temporary siblings a killed run left in the game's tree, and nothing
// else. Which names are ours is settled in atomic_replace_test; here, the walk.
#include "launcher/config/stale_temporaries.h"

#include "tests/launcher/config/program_dir_test.h"

using StaleTemporariesTest = ProgramDirTest;
using namespace testing_support;

TEST_F(StaleTemporariesTest, OnlyOurTemporarySiblingsGoAndLinksAreNeverFollowed) {
    const std::set<std::string> kept = {
        "zel.ini",
        ".zel.ini.tmp-0123456789ABCDEF", // upper case: not ours
        "data",                          // the game's tree, searched
        "outside",                       // a link to a directory elsewhere, not searched
        ".link.tmp-0123456789abcdef",    // a link, even with our name, is not our file
        "zel.ini.tmp",                   // the scrambled-file copy is its reader's business
    };
    Write("zel.ini", "keep");
    Write(".zel.ini.tmp-0123456789ABCDEF", "keep");
    Write("zel.ini.tmp", "keep");
    std::filesystem::create_symlink(File("zel.ini"), File(".link.tmp-0123456789abcdef"));
    Write(".zel.ini.tmp-0123456789abcdef", "partial");
    Write(".ServerList.xml.tmp-00000000000000ff", "<");
    // An install cut short: a file's temporary sibling deep in the tree, and a directory being
    // built beside its destination.
    Write("data/maps/a.map", "keep");
    Write("data/maps/.a.map.tmp-00112233445566aa", "half");
    Write("data/.textures.tmp-aabbccddeeff0011/t.png", "half");
    // A link out of the tree leads to files that are not the launcher's.
    TempDir elsewhere;
    WriteFile(elsewhere / ".x.tmp-0123456789abcdef", "theirs");
    std::filesystem::create_directory_symlink(elsewhere.path(), File("outside"));

    RemoveStaleTemporaryFiles();
    EXPECT_EQ(Entries(), kept);
    EXPECT_EQ(Read("zel.ini"), "keep");
    EXPECT_EQ(Read("data/maps/a.map"), "keep");
    EXPECT_FALSE(std::filesystem::exists(File("data/maps/.a.map.tmp-00112233445566aa")));
    EXPECT_FALSE(std::filesystem::exists(File("data/.textures.tmp-aabbccddeeff0011")));
    EXPECT_EQ(ReadFile(elsewhere / ".x.tmp-0123456789abcdef"), "theirs");
}
