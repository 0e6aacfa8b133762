// The login.dat merge: blocks overwritten, appended and re-pointed, a first installation copied
// as it is, every failure logged in "run.log", and hostile increments refused before anything
// in the installation changes.
#include <fstream>
#include <random>

#include <gtest/gtest.h>

#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/update/merge.h"
#include "tests/launcher/update/index_test_files.h"
#include "tests/support/frame_with_log.h"
#include "tests/support/temp_dir.h"

using namespace index_test;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

class LoginMerge : public testing_support::FrameWithLog {
protected:
    wxString Source() const { return wxString((pkg / "login.dat.i").wstring()); }
    wxString Destination() const { return wxString((install / "login.dat.i").wstring()); }
    bool Merge() { return frame.MergeDataFiles(Source(), Destination()); }

    void Install(const std::string& data, const std::vector<IndexEntry>& entries) {
        WriteFile(install / "login.dat", data);
        WriteFile(install / "login.dat.i", InstalledIndex(entries));
    }
    void Package(const std::string& data, const std::vector<PatchIndexEntry>& entries) {
        WriteFile(pkg / "login.dat", data);
        WriteFile(pkg / "login.dat.i", PackageIndex(entries));
    }
    std::string Data() const { return ReadFile(install / "login.dat"); }
    std::string Index() const { return ReadFile(install / "login.dat.i"); }
    std::vector<IndexEntry> Entries() const { return InstalledEntries(Index()); }

    // True when run.log holds exactly one error record whose text after "file(line):" is text.
    bool LoggedOnce(const std::string& text) const {
        const std::string log = Log();
        const std::string prefix = "Error: ";
        const size_t at = log.find(prefix);
        if (at == std::string::npos || log.find(prefix, at + 1) != std::string::npos)
            return false;
        // The record names this merge's source file and line: "...merge_data_files.cpp(N):".
        const std::string source = "merge_data_files.cpp(";
        const size_t file = log.find(source, at);
        const size_t close = log.find("):", file);
        if (file == std::string::npos || close == std::string::npos)
            return false;
        const std::string line = log.substr(file + source.size(), close - file - source.size());
        return !line.empty() && line.find_first_not_of("0123456789") == std::string::npos &&
               log.substr(close + 2) == text + "\n";
    }

    TempDir pkg;
    TempDir install;
};

} // namespace

TEST_F(LoginMerge, OverwritesSmallerBlocksAndAppendsLargerAndNewOnes) {
    Install("AAAABBBBCCCC", {Entry(0, 4, 1), Entry(4, 4, 2), Entry(8, 4, 3)});
    Package("xxYYYYYYzzwwDDDD", {Patch(0, 0, 2, 10),           // smaller: overwrites the start
                                 Patch(1, 2, 6, 11),           // larger: appended, entry re-pointed
                                 Patch(3, 8, 2, 12),           // slot == count: new entry 3
                                 Patch(0xFFFFFFFF, 10, 2, 13), // slot > count: new entry 4
                                 Patch(2, 12, 4, 14)});        // same size: overwritten in place

    ASSERT_TRUE(Merge());

    EXPECT_EQ(Data(), "xxAABBBBDDDDYYYYYYzzww");
    EXPECT_EQ(Index().substr(0, 136), Header());
    const std::vector<IndexEntry> expected{Entry(0, 2, 10), Entry(12, 6, 11), Entry(8, 4, 14),
                                           Entry(18, 2, 12), Entry(20, 2, 13)};
    EXPECT_EQ(Entries(), expected);
    EXPECT_EQ(Log(), "");
}

TEST_F(LoginMerge, MatchesFieldByFieldWritesOnLargeBlocksAndManyEntries) {
    // Blocks beyond the read window and appends beyond one write batch.
    std::mt19937 random(11);
    std::string data;
    std::vector<IndexEntry> installed;
    for (uint32_t i = 0; i < 3000; ++i) {
        const uint32_t size = 1 + random() % 300;
        installed.push_back(Entry(static_cast<uint32_t>(data.size()), size, i));
        data += std::string(size, static_cast<char>('a' + i % 26));
    }
    std::string package;
    std::vector<PatchIndexEntry> patches;
    const auto block = [&](uint32_t size) {
        const auto offset = static_cast<uint32_t>(package.size());
        for (uint32_t i = 0; i < size; ++i)
            package += static_cast<char>(random());
        return offset;
    };
    std::vector<uint32_t> slots(3000);
    for (uint32_t i = 0; i < slots.size(); ++i)
        slots[i] = i;
    std::shuffle(slots.begin(), slots.end(), random);
    for (uint32_t i = 0; i < 800; ++i) {
        const uint32_t size = random() % 400;
        patches.push_back(Patch(slots[i], block(size), size, 5000 + i));
    }
    for (const uint32_t size : {3u << 20, 1u << 20, 1u << 20, 2u << 20, 7u})
        patches.push_back(Patch(3000 + random() % 50, block(size), size, size));
    patches.push_back(Patch(slots[900], block(5u << 20), 5u << 20, 6)); // larger, re-pointed
    std::shuffle(patches.begin(), patches.end(), random);
    Install(data, installed);
    Package(package, patches);

    ASSERT_TRUE(Merge());

    std::string expectedIndex = InstalledIndex(installed);
    ReferenceLoginMerge(data, expectedIndex, package, patches);
    EXPECT_TRUE(Data() == data);
    EXPECT_TRUE(Index() == expectedIndex);
}

TEST_F(LoginMerge, FirstInstallationCopiesBothFilesAsTheyAre) {
    Package("package blocks", {Patch(0, 0, 7, 1), Patch(5, 8, 6, 2)});

    ASSERT_TRUE(Merge());
    EXPECT_EQ(Data(), "package blocks");
    EXPECT_EQ(Index(), ReadFile(pkg / "login.dat.i"));
    EXPECT_EQ(Log(), "");
}

TEST_F(LoginMerge, FirstInstallationWithoutPackageDataCopiesNothing) {
    WriteFile(pkg / "login.dat.i", PackageIndex({Patch(0, 0, 7, 1)}));

    EXPECT_FALSE(Merge());
    EXPECT_FALSE(std::filesystem::exists(install / "login.dat.i"));
    EXPECT_FALSE(std::filesystem::exists(install / "login.dat"));
    const std::string base = (pkg / "login.dat").string();
    EXPECT_TRUE(LoggedOnce("  in pathList.xml " + base + " may be config error! or " + base +
                           ".i file not exsited "))
        << Log();
}

TEST_F(LoginMerge, InstalledDataWithoutIndexFails) {
    Package("xx", {Patch(0, 0, 2)});
    WriteFile(install / "login.dat", "AAAA");

    EXPECT_FALSE(Merge());
    EXPECT_EQ(Data(), "AAAA");
    EXPECT_FALSE(std::filesystem::exists(install / "login.dat.i"));
    EXPECT_TRUE(LoggedOnce(" " + (install / "login.dat.i").string() + " file not exsited "))
        << Log();
}

TEST_F(LoginMerge, MissingPackageIndexFails) {
    Install("AAAA", {Entry(0, 4)});

    EXPECT_FALSE(Merge());
    EXPECT_EQ(Data(), "AAAA");
    EXPECT_TRUE(LoggedOnce("   " + (pkg / "login.dat.i").string() + " file not exsited ")) << Log();
}

TEST_F(LoginMerge, UnreadableIndexFailsWithTheFormatRecord) {
    Install("AAAA", {});
    WriteFile(install / "login.dat.i", "too short for a header");
    Package("xx", {Patch(0, 0, 2)});

    EXPECT_FALSE(Merge());
    EXPECT_EQ(Index(), "too short for a header");
    EXPECT_TRUE(LoggedOnce(" " + (install / "login.dat.i").string() + " file or " +
                           (pkg / "login.dat.i").string() +
                           " file load error ,may be the file format wrong! "))
        << Log();
}

TEST_F(LoginMerge, PathsWithoutADotFailSilently) {
    Install("AAAA", {Entry(0, 4)});
    Package("xx", {Patch(0, 0, 2)});
    const wxString noDot = wxString((pkg / "logindat").wstring());

    EXPECT_FALSE(frame.MergeDataFiles(noDot, Destination()));
    EXPECT_FALSE(frame.MergeDataFiles(Source(), wxString()));
    EXPECT_EQ(Data(), "AAAA");
    EXPECT_EQ(Log(), "");
}

TEST_F(LoginMerge, HostileIncrementsAreRefusedBeforeAnythingIsWritten) {
    struct Case {
        const char* what;
        std::vector<PatchIndexEntry> patches;
    };
    // Each case starts with a valid entry, so a merge that writes before checking shows.
    const std::vector<Case> cases{
        {"offset past the data", {Patch(0, 0, 2), Patch(1, 9, 1)}},
        {"size past the data", {Patch(0, 0, 2), Patch(1, 4, 5)}},
        {"size that wraps 32 bits", {Patch(0, 0, 2), Patch(0, 4, 0xFFFFFFFF)}},
        {"offset 0xFFFFFFFF", {Patch(0, 0, 2), Patch(7, 0xFFFFFFFF, 1)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Install("AAAABBBB", {Entry(0, 4, 1), Entry(4, 4, 2)});
        Package("xxyyzzww", c.patches);
        const std::string index = Index();

        EXPECT_FALSE(Merge());
        EXPECT_EQ(Data(), "AAAABBBB");
        EXPECT_EQ(Index(), index);
        EXPECT_NE(Log().find("login.dat.i failed: an entry lies outside its data file"),
                  std::string::npos);
    }
}

TEST_F(LoginMerge, AppendsReachingFourGiBAreRefused) {
    // A 32-bit offset could not address the block, and 0xFFFFFFFF means "not held".
    Install("", {Entry(0, 4, 1)});
    const uint64_t length = 0xFFFFFFF0;
    std::filesystem::resize_file(install / "login.dat", length); // sparse: no disk used
    Package("0123456789abcdef", {Patch(0, 0, 2, 2), Patch(1, 0, 16, 3)});
    const std::string index = Index();

    EXPECT_FALSE(Merge());
    EXPECT_EQ(std::filesystem::file_size(install / "login.dat"), length);
    EXPECT_EQ(Index(), index);
    std::ifstream data(install / "login.dat", std::ios::binary);
    char start[2] = {'?', '?'};
    data.read(start, 2);
    EXPECT_EQ(std::string(start, 2), std::string(2, '\0'));
}

TEST_F(LoginMerge, BlocksTheDataFileDoesNotHoldAreAppended) {
    // 0xFFFFFFFF (left by an in-place merge) and any block past the end of the data file would
    // otherwise be written far beyond it.
    Install("AAAABBBB", {Entry(0xFFFFFFFF, 4, 1), Entry(6, 4, 2), Entry(0, 4, 3)});
    Package("xxyy", {Patch(0, 0, 2, 10), Patch(1, 2, 2, 11), Patch(2, 0, 2, 12)});

    ASSERT_TRUE(Merge());
    EXPECT_EQ(Data(), "xxAABBBBxxyy");
    EXPECT_EQ(Entries(),
              (std::vector<IndexEntry>{Entry(8, 2, 10), Entry(10, 2, 11), Entry(0, 2, 12)}));
}

TEST_F(LoginMerge, SlotNamedTwiceIsDecidedByTheLastEntry) {
    // Compared one by one with the entry as loaded, the first entry would re-point the slot
    // and the second would overwrite the old block: the entry would name the wrong bytes.
    Install("AAAA", {Entry(0, 4, 1)});
    Package("123456xy", {Patch(0, 0, 6, 2), Patch(0, 6, 2, 3)});

    ASSERT_TRUE(Merge());
    EXPECT_EQ(Data(), "xyAA");
    EXPECT_EQ(Entries(), std::vector<IndexEntry>{Entry(0, 2, 3)});
}

TEST_F(LoginMerge, AppendedEntriesFollowTheLastWholeEntry) {
    WriteFile(install / "login.dat", "AAAA");
    WriteFile(install / "login.dat.i", InstalledIndex({Entry(0, 4, 1)}) + "partial");
    Package("xy", {Patch(1, 0, 2, 2)});

    ASSERT_TRUE(Merge());
    EXPECT_EQ(Index(), InstalledIndex({Entry(0, 4, 1), Entry(4, 2, 2)}));
}
