// The login.dat merge: blocks overwritten, appended and re-pointed, a first installation copied
// as it is, each failure logged in "run.log", and hostile increments refused before anything in
// the installation changes.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <optional>
#include <random>

#include <gtest/gtest.h>

#include "launcher/update/merge.h"
#include "tests/launcher/update/index_test_files.h"
#include "tests/support/frame_with_log.h"
#include "tests/support/temp_dir.h"

using namespace index_test;
using namespace testing_support;
namespace fs = std::filesystem;
using Bytes = std::optional<std::string>; // a file's bytes, nullopt for no file

namespace {

class LoginMerge : public testing_support::FrameWithLog {
protected:
    bool Merge() {
        return frame.MergeDataFiles(wxString((pkg / "login.dat.i").wstring()),
                                    wxString((install / "login.dat.i").wstring()));
    }
    // Writes or removes the installed and the package's data file and index.
    void Files(const Bytes& data, const Bytes& index, const Bytes& packageData,
               const Bytes& packageIndex) {
        const std::pair<fs::path, const Bytes&> files[] = {{install / "login.dat", data},
                                                           {install / "login.dat.i", index},
                                                           {pkg / "login.dat", packageData},
                                                           {pkg / "login.dat.i", packageIndex}};
        for (const auto& [path, bytes] : files) {
            fs::remove(path);
            if (bytes)
                WriteFile(path, *bytes);
        }
    }
    static Bytes Read(const fs::path& path) {
        return fs::exists(path) ? Bytes(ReadFile(path)) : std::nullopt;
    }
    Bytes Data() const { return Read(install / "login.dat"); }
    Bytes Index() const { return Read(install / "login.dat.i"); }

    TempDir pkg;
    TempDir install;
};

TEST_F(LoginMerge, EachPackageEntryOverwritesAppendsOrAddsAsTheInstalledIndexDecides) {
    const auto expectMerged = [&](const char* what, const Bytes& data, const Bytes& index,
                                  const std::string& packageData, const std::string& packageIndex,
                                  const std::string& expectedData,
                                  const std::string& expectedIndex) {
        SCOPED_TRACE(what);
        Files(data, index, packageData, packageIndex);
        ASSERT_TRUE(Merge());
        EXPECT_EQ(Data(), expectedData);
        EXPECT_EQ(Index(), expectedIndex);
    };
    expectMerged("smaller overwrites the start, larger is appended and re-pointed, new entries "
                 "are added whatever their slot, same size overwrites",
                 "AAAABBBBCCCC", InstalledIndex({Entry(0, 4, 1), Entry(4, 4, 2), Entry(8, 4, 3)}),
                 "xxYYYYYYzzwwDDDD",
                 PackageIndex({Patch(0, 0, 2, 10), Patch(1, 2, 6, 11), Patch(3, 8, 2, 12),
                               Patch(0xFFFFFFFF, 10, 2, 13), Patch(2, 12, 4, 14)}),
                 "xxAABBBBDDDDYYYYYYzzww",
                 InstalledIndex({Entry(0, 2, 10), Entry(12, 6, 11), Entry(8, 4, 14),
                                 Entry(18, 2, 12), Entry(20, 2, 13)}));
    // 0xFFFFFFFF (left by an in-place merge) or any block past the end of the data file would
    // otherwise be written far beyond it.
    expectMerged("blocks the data file does not hold are appended", "AAAABBBB",
                 InstalledIndex({Entry(0xFFFFFFFF, 4, 1), Entry(6, 4, 2), Entry(0, 4, 3)}), "xxyy",
                 PackageIndex({Patch(0, 0, 2, 10), Patch(1, 2, 2, 11), Patch(2, 0, 2, 12)}),
                 "xxAABBBBxxyy",
                 InstalledIndex({Entry(8, 2, 10), Entry(10, 2, 11), Entry(0, 2, 12)}));
    // Compared one by one with the entry as loaded, the first would re-point the slot and the
    // second overwrite the old block: the entry would name the wrong bytes.
    expectMerged("a slot named twice is decided by the last entry", "AAAA",
                 InstalledIndex({Entry(0, 4, 1)}), "123456xy",
                 PackageIndex({Patch(0, 0, 6, 2), Patch(0, 6, 2, 3)}), "xyAA",
                 InstalledIndex({Entry(0, 2, 3)}));
    expectMerged("appended entries follow the last whole entry", "AAAA",
                 InstalledIndex({Entry(0, 4, 1)}) + "partial", "xy",
                 PackageIndex({Patch(1, 0, 2, 2)}), "AAAAxy",
                 InstalledIndex({Entry(0, 4, 1), Entry(4, 2, 2)}));
    const std::string first = PackageIndex({Patch(0, 0, 7, 1), Patch(5, 8, 6, 2)});
    expectMerged("a first installation copies both files as they are", std::nullopt, std::nullopt,
                 "package blocks", first, "package blocks", first);
    EXPECT_EQ(Log(), "");
}

TEST_F(LoginMerge, MatchesFieldByFieldWritesOnLargeBlocksAndManyEntries) {
    // Blocks beyond the read window and appends beyond one write batch.
    std::mt19937 random(11);
    std::string data;
    std::vector<IndexEntry> installed;
    for (uint32_t i = 0; i < 3000; ++i) {
        const uint32_t size = 1 + static_cast<uint32_t>(random() % 300);
        installed.push_back(Entry(static_cast<uint32_t>(data.size()), size, i));
        data += std::string(size, static_cast<char>('a' + i % 26));
    }
    std::string package;
    std::vector<PatchIndexEntry> patches;
    const auto add = [&](uint32_t slot, uint32_t size, uint32_t tag) {
        patches.push_back(Patch(slot, static_cast<uint32_t>(package.size()), size, tag));
        for (uint32_t i = 0; i < size; ++i)
            package += static_cast<char>(random());
    };
    std::vector<uint32_t> slots(3000);
    std::iota(slots.begin(), slots.end(), 0);
    std::shuffle(slots.begin(), slots.end(), random);
    for (uint32_t i = 0; i < 800; ++i)
        add(slots[i], static_cast<uint32_t>(random() % 400), 5000 + i);
    for (const uint32_t size : {3u << 20, 1u << 20, 1u << 20, 2u << 20, 7u})
        add(3000 + static_cast<uint32_t>(random() % 50), size, size);
    add(slots[900], 5u << 20, 6); // larger, re-pointed
    std::shuffle(patches.begin(), patches.end(), random);
    std::string index = InstalledIndex(installed);
    Files(data, index, package, PackageIndex(patches));

    ASSERT_TRUE(Merge());
    ReferenceLoginMerge(data, index, installed, package, patches);
    EXPECT_TRUE(Data() == data);
    EXPECT_TRUE(Index() == index);
}

TEST_F(LoginMerge, RefusedMergesChangeNothingAndLogOneRecord) {
    // `record` follows "file(line):"; <P> and <I> stand for the package's and the installed
    // login.dat.
    const auto expectRefused = [&](const Bytes& data, const Bytes& index, const Bytes& packageData,
                                   const Bytes& packageIndex, std::string record) {
        for (size_t at; (at = record.find('<')) != std::string::npos;)
            record.replace(at, 3, ((record[at + 1] == 'P' ? pkg : install) / "login.dat").string());
        SCOPED_TRACE(record);
        Files(data, index, packageData, packageIndex);
        const std::string before = Log();
        EXPECT_FALSE(Merge());
        EXPECT_EQ(Data(), data);
        EXPECT_EQ(Index(), index);
        const std::string added = Log().substr(before.size());
        EXPECT_EQ(std::count(added.begin(), added.end(), '\n'), 1) << added;
        EXPECT_NE(added.find("merge_data_files.cpp("), std::string::npos) << added;
        EXPECT_TRUE(added.ends_with("):" + record + "\n")) << added;
    };
    const std::string index = InstalledIndex({Entry(0, 4, 1), Entry(4, 4, 2)});
    const std::string patch = PackageIndex({Patch(0, 0, 2)});
    expectRefused({}, {}, {}, patch,
                  "  in pathList.xml <P> may be config error! or <P>.i file not exsited ");
    expectRefused("AAAABBBB", {}, "xx", patch, " <I>.i file not exsited ");
    expectRefused("AAAABBBB", index, "xx", {}, "   <P>.i file not exsited ");
    expectRefused("AAAABBBB", "too short for a header", "xx", patch,
                  " <I>.i file or <P>.i file load error ,may be the file format wrong! ");

    // Hostile increments are refused before anything is written: each starts with a valid entry,
    // so a merge that writes before checking shows.
    const std::string outside = " merging <P>.i into <I>.i failed: an entry lies outside its data "
                                "file or a file could not be read or written! ";
    for (const auto& hostile : {Patch(1, 9, 1),           // offset past the data
                                Patch(1, 4, 5),           // size past the data
                                Patch(0, 4, 0xFFFFFFFF),  // size that wraps 32 bits
                                Patch(7, 0xFFFFFFFF, 1)}) // offset 0xFFFFFFFF
        expectRefused("AAAABBBB", index, "xxyyzzww", PackageIndex({Patch(0, 0, 2), hostile}),
                      outside);
}

TEST_F(LoginMerge, AppendsReachingFourGiBAreRefused) {
    // A 32-bit offset could not address the block, and 0xFFFFFFFF means "not held".
    const std::string index = InstalledIndex({Entry(0, 4, 1)});
    Files("", index, "0123456789abcdef", PackageIndex({Patch(0, 0, 2, 2), Patch(1, 0, 16, 3)}));
    const uint64_t length = 0xFFFFFFF0;
    fs::resize_file(install / "login.dat", length); // sparse: no disk used

    EXPECT_FALSE(Merge());
    EXPECT_EQ(fs::file_size(install / "login.dat"), length);
    EXPECT_EQ(Index(), index);
    std::ifstream data(install / "login.dat", std::ios::binary);
    std::string start(2, '?');
    data.read(start.data(), 2);
    EXPECT_EQ(start, std::string(2, '\0')); // the first block was not overwritten either
}

TEST_F(LoginMerge, LinksInTheInstallationAreReplacedNeverFollowed) {
    TempDir outside;
    const std::string packageIndex = PackageIndex({Patch(0, 0, 4, 1)});
    // A dangling "login.dat": the first-install copy must not create the file it names.
    Files(std::nullopt, std::nullopt, "DATA", packageIndex);
    fs::create_symlink(outside / "created-outside", install / "login.dat");
    ASSERT_TRUE(Merge());
    EXPECT_FALSE(fs::exists(outside / "created-outside"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(install / "login.dat")));
    EXPECT_EQ(Data(), "DATA");
    EXPECT_EQ(Index(), packageIndex);

    // Links named like the installed pair point at real files elsewhere: neither is rewritten.
    const std::string outsideIndex = InstalledIndex({Entry(0, 4, 7)});
    WriteFile(outside / "data", "OUTSIDE");
    WriteFile(outside / "index", outsideIndex);
    Files(std::nullopt, std::nullopt, "DATA", packageIndex);
    fs::create_symlink(outside / "data", install / "login.dat");
    fs::create_symlink(outside / "index", install / "login.dat.i");
    ASSERT_TRUE(Merge());
    EXPECT_EQ(ReadFile(outside / "data"), "OUTSIDE");
    EXPECT_EQ(ReadFile(outside / "index"), outsideIndex);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(install / "login.dat")));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(install / "login.dat.i")));
    EXPECT_EQ(Data(), "DATA");
    EXPECT_EQ(Index(), packageIndex);
}

} // namespace
