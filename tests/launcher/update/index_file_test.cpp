// Loading installed and package index files: field order and byte order, where each entry was
// read, the 136-byte header rule and trailing partial entries.
#include <gtest/gtest.h>

#include "launcher/update/index_file.h"
#include "tests/launcher/update/index_test_files.h"
#include "tests/support/temp_dir.h"

using namespace index_test;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

wxString Wide(const std::filesystem::path& path) {
    return wxString(path.wstring());
}

} // namespace

TEST(IndexFile, ReadsLittleEndianFieldsAndTheirPositions) {
    TempDir dir;
    const IndexEntry first{0x04030201, 0x08070605, 0x0A09, 0x0C0B, 0x100F0E0D, 0x14131211};
    const IndexEntry second = Entry(77, 5, 9);
    WriteFile(dir / "misc.dat.i", InstalledIndex({first, second}));
    WriteFile(dir / "misc.i", PackageIndex({{first, 0xDEADBEEF}, {second, 3}}));

    TrackedIndex installed(Wide(dir / "misc.dat"));
    ASSERT_TRUE(installed.LoadForDataFile());
    ASSERT_EQ(installed.Count(), 2);
    EXPECT_EQ(installed.Entries()[0].entry, first);
    EXPECT_EQ(installed.Entries()[1].entry, second);
    EXPECT_EQ(installed.Entries()[0].position, 136u);
    EXPECT_EQ(installed.Entries()[1].position, 156u);

    PlainIndex package(Wide(dir / "misc.i"));
    ASSERT_TRUE(package.Load());
    ASSERT_EQ(package.Count(), 2);
    EXPECT_EQ(package.Entries()[0].entry, first);
    EXPECT_EQ(package.Entries()[0].slot, 0xDEADBEEFu);
    EXPECT_EQ(package.Entries()[1].entry, second);
    EXPECT_EQ(package.Entries()[1].slot, 3u);
}

TEST(IndexFile, HeaderAloneLoadsEmptyAndAShorterFileFails) {
    TempDir dir;
    WriteFile(dir / "empty.i", Header());
    WriteFile(dir / "short.i", Header().substr(0, 135));

    TrackedIndex empty(Wide(dir / "empty.i"));
    EXPECT_TRUE(empty.Load());
    EXPECT_EQ(empty.Count(), 0);
    PlainIndex emptyPackage(Wide(dir / "empty.i"));
    EXPECT_TRUE(emptyPackage.Load());
    EXPECT_EQ(emptyPackage.Count(), 0);

    EXPECT_FALSE(TrackedIndex(Wide(dir / "short.i")).Load());
    EXPECT_FALSE(PlainIndex(Wide(dir / "short.i")).Load());
    EXPECT_FALSE(TrackedIndex(Wide(dir / "missing.i")).Load());
    EXPECT_FALSE(TrackedIndex(dir.wide()).Load()); // a directory is no index
}

TEST(IndexFile, TrailingPartialEntryIsIgnored) {
    TempDir dir;
    WriteFile(dir / "odd.i", InstalledIndex({Entry(0, 1), Entry(1, 2)}) + std::string(19, 'x'));
    WriteFile(dir / "odd.pkg.i", PackageIndex({Patch(0, 0, 1)}) + std::string(23, 'x'));

    TrackedIndex installed(Wide(dir / "odd.i"));
    ASSERT_TRUE(installed.Load());
    EXPECT_EQ(installed.Count(), 2);
    EXPECT_EQ(installed.Entries()[1].entry, Entry(1, 2));

    PlainIndex package(Wide(dir / "odd.pkg.i"));
    ASSERT_TRUE(package.Load());
    EXPECT_EQ(package.Count(), 1);
}

TEST(IndexFile, PairLoadsInstalledFirstAndNeedsBoth) {
    TempDir dir;
    WriteFile(dir / "pkg" / "login.dat.i", PackageIndex({Patch(0, 0, 1)}));
    PlainIndex package(Wide(dir / "pkg" / "login.dat"));
    TrackedIndex installed(Wide(dir / "login.dat"));

    EXPECT_FALSE(LoadIndexPair(nullptr, &installed));
    EXPECT_FALSE(LoadIndexPair(&package, nullptr));
    // Without the installed index the package's is not even read.
    EXPECT_FALSE(LoadIndexPair(&package, &installed));
    EXPECT_EQ(package.Count(), 0);

    WriteFile(dir / "login.dat.i", InstalledIndex({Entry(0, 4)}));
    EXPECT_TRUE(LoadIndexPair(&package, &installed));
    EXPECT_EQ(package.Count(), 1);
    EXPECT_EQ(installed.Count(), 1);
}
