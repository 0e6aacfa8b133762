// The in-place merge of index increments: replaced and appended entries are marked as not held
// locally, the header and the data file stay untouched, a missing index is created from the
// package's.
#include <random>

#include <gtest/gtest.h>

#include "launcher/update/merge.h"
#include "tests/launcher/update/index_test_files.h"
#include "tests/support/temp_dir.h"

using namespace index_test;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

class InPlaceMerge : public ::testing::Test {
protected:
    bool Merge() {
        return MergeDataFilesInPlace(wxString((pkg / "misc.i").wstring()),
                                     wxString((install / "misc.i").wstring()));
    }
    std::string Installed() const { return ReadFile(install / "misc.i"); }

    TempDir pkg;
    TempDir install;
};

IndexEntry Marked(IndexEntry entry) {
    entry.offset = kBlockNotHeld;
    return entry;
}

} // namespace

TEST_F(InPlaceMerge, ReplacesAndAppendsInPackageOrderMarkingEveryEntry) {
    WriteFile(install / "misc", "data file the merge must not touch");
    WriteFile(install / "misc.i",
              InstalledIndex({Entry(0, 10, 1), Entry(10, 10, 2), Entry(20, 10, 3)}));
    // slot 3 == count and slot 0xFFFFFFFF > count both append, in package order; a second
    // slot 3 cannot reach the entry the first one appended and appends again.
    WriteFile(pkg / "misc.i", PackageIndex({Patch(0xFFFFFFFF, 5, 6, 7), Patch(1, 1, 2, 8),
                                            Patch(3, 3, 4, 9), Patch(3, 4, 4, 10)}));

    ASSERT_TRUE(Merge());

    const std::string index = Installed();
    EXPECT_EQ(index.substr(0, 136), Header());
    EXPECT_EQ(index.size(), 136u + 6 * 20);
    const std::vector<IndexEntry> expected{Entry(0, 10, 1),        Marked(Entry(1, 2, 8)),
                                           Entry(20, 10, 3),       Marked(Entry(5, 6, 7)),
                                           Marked(Entry(3, 4, 9)), Marked(Entry(4, 4, 10))};
    EXPECT_EQ(InstalledEntries(index), expected);
    EXPECT_EQ(ReadFile(install / "misc"), "data file the merge must not touch");
}

TEST_F(InPlaceMerge, MatchesFieldByFieldWritesOnALargeScatteredIncrement) {
    std::mt19937 random(7);
    std::vector<IndexEntry> installed;
    for (uint32_t i = 0; i < 5000; ++i)
        installed.push_back(Entry(i * 16, 16, i));
    std::vector<PatchIndexEntry> patches;
    // Isolated slots, tight clusters and appends exercise how changed stretches are written.
    for (uint32_t i = 0; i < 300; ++i)
        patches.push_back(Patch(random() % 5000, random(), random() % 4096, 10000 + i));
    for (uint32_t slot = 2000; slot < 2040; slot += 3)
        patches.push_back(Patch(slot, 0, 1, slot));
    for (uint32_t i = 0; i < 20; ++i)
        patches.push_back(Patch(5000 + random() % 3, 0, i, 20000 + i));
    std::shuffle(patches.begin(), patches.end(), random);
    patches.push_back(Patch(4999, 1, 1, 1)); // the last loaded entry
    patches.push_back(Patch(2003, 9, 9, 9)); // named twice: the last one decides
    std::string expected = InstalledIndex(installed);
    WriteFile(install / "misc.i", expected);
    WriteFile(pkg / "misc.i", PackageIndex(patches));

    ASSERT_TRUE(Merge());
    ReferenceInPlaceMerge(expected, patches);
    EXPECT_EQ(Installed(), expected);
}

TEST_F(InPlaceMerge, AppendedEntriesFollowTheLastWholeEntry) {
    // A partial entry at the end is not an entry: appending after it would shift every new
    // entry by its length, so the first appended entry takes its place.
    WriteFile(install / "misc.i", InstalledIndex({Entry(0, 10, 1)}) + "partial");
    WriteFile(pkg / "misc.i", PackageIndex({Patch(1, 0, 5, 2)}));

    ASSERT_TRUE(Merge());
    EXPECT_EQ(Installed(), InstalledIndex({Entry(0, 10, 1), Marked(Entry(0, 5, 2))}));

    // Without appended entries the partial bytes stay as they were.
    WriteFile(install / "misc.i", InstalledIndex({Entry(0, 10, 1)}) + "partial");
    WriteFile(pkg / "misc.i", PackageIndex({Patch(0, 0, 5, 2)}));
    ASSERT_TRUE(Merge());
    EXPECT_EQ(Installed(), InstalledIndex({Marked(Entry(0, 5, 2))}) + "partial");
}

TEST_F(InPlaceMerge, MissingIndexIsCopiedFromThePackageAndMarked) {
    // The package's 24-byte entries are read as 20-byte ones here, as the game would.
    const std::string package =
        PackageIndex({Patch(0, 100, 5, 1), Patch(7, 200, 6, 2), Patch(9, 300, 7, 3)});
    WriteFile(pkg / "misc.i", package);

    ASSERT_TRUE(Merge());

    std::string expected = package;
    for (size_t at = 136; at + 20 <= expected.size(); at += 20)
        WriteAt(expected, at, std::string(4, '\xFF'));
    EXPECT_EQ(Installed(), expected);
    EXPECT_EQ(Installed().substr(0, 136), Header());
}

TEST_F(InPlaceMerge, MissingOrMalformedInputsFailAndLeaveTheInstallationAlone) {
    // Nothing on either side.
    EXPECT_FALSE(Merge());
    EXPECT_FALSE(std::filesystem::exists(install / "misc.i"));

    // A package index too short to hold a header is not installed.
    WriteFile(pkg / "misc.i", Header().substr(0, 135));
    EXPECT_FALSE(Merge());
    EXPECT_FALSE(std::filesystem::exists(install / "misc.i"));

    // ... nor merged into an existing index.
    const std::string installed = InstalledIndex({Entry(0, 10, 1)});
    WriteFile(install / "misc.i", installed);
    EXPECT_FALSE(Merge());
    EXPECT_EQ(Installed(), installed);

    // A missing package index changes nothing either.
    std::filesystem::remove(pkg / "misc.i");
    EXPECT_FALSE(Merge());
    EXPECT_EQ(Installed(), installed);

    // An installed index too short to hold its header is not written to.
    WriteFile(pkg / "misc.i", PackageIndex({Patch(0, 0, 5, 2)}));
    WriteFile(install / "misc.i", "short");
    EXPECT_FALSE(Merge());
    EXPECT_EQ(Installed(), "short");
}
