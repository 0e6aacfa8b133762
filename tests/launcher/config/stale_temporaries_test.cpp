// Start-up removes the temporary siblings a killed run left in the program directory, and
// nothing else.
#include "launcher/config/stale_temporaries.h"

#include "tests/launcher/config/program_dir_test.h"

using StaleTemporariesTest = ProgramDirTest;

TEST_F(StaleTemporariesTest, OnlyOurTemporarySiblingsInTheProgramDirectoryGo) {
    const std::set<std::string> kept = {
        "zel.ini",
        ".zel.ini.tmp-0123456789abcdeg",  // not hex
        ".zel.ini.tmp-0123456789ABCDEF",  // upper case: not ours
        ".zel.ini.tmp-0123456789abcde",   // 15 digits
        "zel.ini.tmp-0123456789abcdef",   // not hidden
        ".zel.ini.tmp-0123456789abcdef~", // more after the digits
        "dir",                            // holds a matching name below the program directory
        ".link.tmp-0123456789abcdef",     // a link, even with our name, is not our file
        ".sub.tmp-fedcba9876543210",      // a directory
        "zel.ini.tmp",                    // the scrambled-file copy is its reader's business
    };
    for (const std::string& name : kept) {
        if (name != "dir" && name != ".link.tmp-0123456789abcdef" &&
            name != ".sub.tmp-fedcba9876543210")
            Write(name, "keep");
    }
    Write("dir/.zel.ini.tmp-0123456789abcdef", "keep");
    std::filesystem::create_directory(File(".sub.tmp-fedcba9876543210"));
    std::filesystem::create_symlink(File("zel.ini"), File(".link.tmp-0123456789abcdef"));
    Write(".zel.ini.tmp-0123456789abcdef", "partial");
    Write(".version.ini.tmp-fedcba9876543210", "");
    Write(".ServerList.xml.tmp-00000000000000ff", "<");

    RemoveStaleTemporaryFiles();
    EXPECT_EQ(Entries(), kept);
    EXPECT_EQ(Read("dir/.zel.ini.tmp-0123456789abcdef"), "keep");
    EXPECT_EQ(Read("zel.ini"), "keep");
}
