// Unpacking a whole downloaded package: every entry below the package directory, progress per
// entry, and a package that fails as a whole when any entry fails.
#include "launcher/zip/unzip_package.h"
#include "launcher/zip/zip_entry.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_maker.h"

#include <gtest/gtest.h>
#include <random>

namespace {

using namespace testing_support;
namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

// Bytes that compress partly, like game data: text alternating with random stretches.
std::string MixedBytes(size_t size) {
    std::mt19937 random(1);
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i)
        out[i] = i / 4096 % 2 == 0 ? static_cast<char>('a' + i % 13) : static_cast<char>(random());
    return out;
}

class UnzipPackageTest : public testing::Test {
protected:
    std::wstring Package() const { return (dir_ / "patch").wstring(); }
    bool Unzip(bool isTre) {
        return UnzipPackage(Package(), isTre,
                            [this](float percent) { progress_.push_back(percent); });
    }

    TempDir dir_;
    std::vector<float> progress_;
};

TEST_F(UnzipPackageTest, UnpacksEveryEntryBelowThePackageDirectory) {
    // Large enough to pass every read and write buffer several times.
    const std::string big = MixedBytes(3 * 1024 * 1024 + 17);
    const std::string stored = big.substr(0, 200 * 1024 + 3);
    MakeZip(dir_ / "patch.upd", {{.name = "zel.exe", .data = "binary"},
                                 {.name = "data\\maps\\big.dat", .data = big},
                                 {.name = "data/maps/stored.dat", .data = stored, .deflate = false},
                                 {.name = "empty.txt"},
                                 {.name = "docs/", .externalAttributes = 0x10},
                                 {.name = "caf\xc3\xa9\\\xe6\x96\x87.txt", .data = "utf8"}});
    ZipLastError = ZipErrData;
    ASSERT_TRUE(Unzip(false));
    EXPECT_EQ(ZipLastError.load(), ZipOk);

    const fs::path out = dir_ / "patch";
    EXPECT_EQ(ListTree(out),
              (Paths{"caf\xc3\xa9", "caf\xc3\xa9/\xe6\x96\x87.txt", "data", "data/maps",
                     "data/maps/big.dat", "data/maps/stored.dat", "docs", "empty.txt", "zel.exe"}));
    EXPECT_TRUE(ReadFile(out / "data/maps/big.dat") == big);
    EXPECT_TRUE(ReadFile(out / "data/maps/stored.dat") == stored);
    EXPECT_EQ(ReadFile(out / "zel.exe"), "binary");
    EXPECT_EQ(progress_.size(), 6u);
}

TEST_F(UnzipPackageTest, TreFlagChoosesTheArchive) {
    MakeZip(dir_ / "patch.upd", {{.name = "which.txt", .data = "upd"}});
    MakeZip(dir_ / "patch.tre", {{.name = "which.txt", .data = "tre"}});
    ASSERT_TRUE(Unzip(true));
    EXPECT_EQ(ReadFile(dir_ / "patch/which.txt"), "tre");
    ASSERT_TRUE(Unzip(false));
    EXPECT_EQ(ReadFile(dir_ / "patch/which.txt"), "upd");
}

TEST_F(UnzipPackageTest, EmptyArchiveSucceedsAndOneThatCannotBeOpenedFails) {
    MakeZip(dir_ / "patch.upd", {});
    EXPECT_TRUE(Unzip(false));
    EXPECT_TRUE(progress_.empty());

    WriteFile(dir_ / "patch.upd", "<html>502 Bad Gateway</html>");
    EXPECT_FALSE(Unzip(false));
    EXPECT_EQ(ZipLastError.load(), ZipErrOpen);
    EXPECT_EQ(ListTree(dir_.path()), Paths{"patch.upd"});
}

TEST_F(UnzipPackageTest, FailedEntriesFailThePackageWithTheFirstCode) {
    MakeZip(dir_ / "patch.upd", {{.name = "first.txt", .data = "1"},
                                 {.name = "locked.txt", .data = "secret", .encrypted = true},
                                 {.name = "middle.txt", .data = "2"},
                                 {.name = "../escape.txt", .data = "evil"},
                                 {.name = "bad.txt", .data = "payload", .declaredCrc = 0},
                                 {.name = "last.txt", .data = "3"}});
    EXPECT_FALSE(Unzip(false));
    EXPECT_EQ(ZipLastError.load(), ZipErrEncrypted);
    // Every entry reports progress, failed ones too.
    ASSERT_EQ(progress_.size(), 6u);
    for (size_t i = 0; i < progress_.size(); ++i)
        EXPECT_FLOAT_EQ(progress_[i], static_cast<float>(i + 1) * 100 / 6);
    // The good entries are there for inspection; nothing failed left a file or a temporary.
    EXPECT_EQ(ListTree(dir_.path()), (Paths{"patch", "patch.upd", "patch/first.txt",
                                            "patch/last.txt", "patch/middle.txt"}));
}

} // namespace
