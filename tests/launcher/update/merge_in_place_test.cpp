// The in-place merge of index increments: replaced and appended entries are marked as not held
// locally, the header and the data file stay untouched, a missing index is created from the
// package's, and malformed inputs change nothing.
#include <filesystem>
#include <optional>

#include <gtest/gtest.h>

#include "launcher/update/merge.h"
#include "tests/launcher/update/index_test_files.h"
#include "tests/support/temp_dir.h"

using namespace index_test;
using namespace testing_support;
namespace fs = std::filesystem;
using Bytes = std::optional<std::string>; // a file's bytes, nullopt for no file

namespace {

// An entry as the merge writes it: its block is not held locally.
IndexEntry NotHeld(uint32_t size, uint32_t tag) {
    return Entry(kBlockNotHeld, size, tag);
}

TEST(InPlaceMerge, MarksEveryEntryItWritesAndChangesNothingOnBadInput) {
    const std::string three = InstalledIndex({Entry(0, 10, 1), Entry(10, 10, 2), Entry(20, 10, 3)});
    const std::string one = InstalledIndex({Entry(0, 10, 1)});
    const std::string patch = PackageIndex({Patch(0, 0, 5, 2)});
    const std::string partialHeader = Header().substr(0, 135);
    // The package's 24-byte entries are read as 20-byte ones when there is no installed index,
    // as the game would read them.
    const std::string package =
        PackageIndex({Patch(0, 100, 5, 1), Patch(7, 200, 6, 2), Patch(9, 300, 7, 3)});
    std::string copied = package;
    for (size_t at = 136; at + 20 <= copied.size(); at += 20)
        copied.replace(at, 4, 4, '\xFF');

    const struct {
        const char* what;
        Bytes installed, package;
        bool merged;
        Bytes expected;
    } cases[] = {
        // Slot 3 == count and slot 0xFFFFFFFF > count both append, in package order; a second
        // slot 3 cannot reach the entry the first one appended and appends again.
        {"replaced and appended in package order", three,
         PackageIndex({Patch(0xFFFFFFFF, 5, 6, 7), Patch(1, 1, 2, 8), Patch(3, 3, 4, 9),
                       Patch(3, 4, 4, 10)}),
         true,
         InstalledIndex({Entry(0, 10, 1), NotHeld(2, 8), Entry(20, 10, 3), NotHeld(6, 7),
                         NotHeld(4, 9), NotHeld(4, 10)})},
        // Appending after a partial entry would shift every new entry by its length.
        {"appended entries replace a partial one", one + "partial",
         PackageIndex({Patch(1, 0, 5, 2)}), true, InstalledIndex({Entry(0, 10, 1), NotHeld(5, 2)})},
        {"without appended entries a partial one stays", one + "partial", patch, true,
         InstalledIndex({NotHeld(5, 2)}) + "partial"},
        {"a missing index is copied from the package and marked", {}, package, true, copied},
        {"a header alone is an empty index", Header(), patch, true,
         InstalledIndex({NotHeld(5, 2)})},
        {"nothing on either side", {}, {}, false, {}},
        {"a package index without a whole header is not installed", {}, partialHeader, false, {}},
        {"nor is an empty one", {}, "", false, {}},
        {"nor merged into an existing one", one, partialHeader, false, one},
        {"a missing package index", one, {}, false, one},
        {"an installed index without a whole header", "short", patch, false, "short"},
    };
    TempDir pkg;
    TempDir install;
    WriteFile(install / "misc", "data file the merge must not touch");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& [path, bytes] :
             {std::pair{pkg / "misc.i", c.package}, std::pair{install / "misc.i", c.installed}}) {
            fs::remove(path);
            if (bytes)
                WriteFile(path, *bytes);
        }
        EXPECT_EQ(MergeDataFilesInPlace(wxString((pkg / "misc.i").wstring()),
                                        wxString((install / "misc.i").wstring())),
                  c.merged);
        EXPECT_EQ(fs::exists(install / "misc.i") ? Bytes(ReadFile(install / "misc.i")) : Bytes(),
                  c.expected);
    }
    EXPECT_EQ(ReadFile(install / "misc"), "data file the merge must not touch");
}

TEST(InPlaceMerge, ALinkNamedLikeTheIndexIsReplacedAndItsTargetKept) {
    TempDir pkg;
    TempDir install;
    TempDir outside;
    const std::string target = InstalledIndex({Entry(0, 10, 1)});
    WriteFile(outside / "index", target);
    WriteFile(pkg / "misc.i", PackageIndex({Patch(0, 0, 5, 2)}));
    fs::create_symlink(outside / "index", install / "misc.i");
    ASSERT_TRUE(MergeDataFilesInPlace(wxString((pkg / "misc.i").wstring()),
                                      wxString((install / "misc.i").wstring())));
    EXPECT_EQ(ReadFile(outside / "index"), target);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(install / "misc.i")));
}

} // namespace
