#include "launcher/update/progress_observer.h"
#include "launcher/zip/unzip_package.h"
#include "launcher/zip/zip_entry.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_maker.h"

#include <gtest/gtest.h>
#include <random>

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

// Bytes that compress partly, like game data: runs of text between random stretches.
std::string MixedBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string out;
    out.reserve(size);
    while (out.size() < size) {
        if (random() % 2 == 0)
            out += "texture block " + std::to_string(random() % 100) + "; ";
        else
            for (int i = 0; i < 64; ++i)
                out += static_cast<char>(random());
    }
    out.resize(size);
    return out;
}

class UnzipPackageTest : public testing::Test {
protected:
    void SetUp() override {
        SetProgressObserver([this](float percent) { progress_.push_back(percent); });
    }
    void TearDown() override { SetProgressObserver({}); }

    std::wstring Package() const { return (dir_ / "patch").wstring(); }

    TempDir dir_;
    std::vector<float> progress_;
};

TEST_F(UnzipPackageTest, UnpacksEveryEntryBelowThePackageDirectory) {
    const std::string big = MixedBytes(3 * 1024 * 1024 + 17, 1);
    const std::string storedBig = MixedBytes(200 * 1024 + 3, 2);
    MakeZip(dir_ / "patch.upd",
            {
                {.name = "zel.exe", .data = "binary"},
                {.name = "data\\maps\\big.dat", .data = big},
                {.name = "data/maps/stored.dat", .data = storedBig, .deflate = false},
                {.name = "empty.txt", .data = ""},
                {.name = "docs/", .data = "", .externalAttributes = 0x10},
                {.name = "C:\\x\\a.txt", .data = "a"},
                {.name = "/x/b.txt", .data = "b"},
                {.name = "a\\..\\b/../c.txt", .data = "c"},
                {.name = "x/y/../z.txt", .data = "z"},
                {.name = "donn\xc3\xa9"
                         "es\\\xe6\x96\x87.txt",
                 .data = "utf8"},
            });
    ZipLastError = ZipErrData;
    ASSERT_TRUE(UnzipPackage(Package(), false));
    EXPECT_EQ(ZipLastError.load(), ZipOk);

    const fs::path out = dir_ / "patch";
    EXPECT_EQ(ListTree(out),
              (std::vector<std::string>{
                  "c.txt", "data", "data/maps", "data/maps/big.dat", "data/maps/stored.dat", "docs",
                  "donn\xc3\xa9"
                  "es",
                  "donn\xc3\xa9"
                  "es/\xe6\x96\x87.txt",
                  "empty.txt", "x", "x/a.txt", "x/b.txt", "z.txt", "zel.exe"}));
    EXPECT_TRUE(ReadFile(out / "data/maps/big.dat") == big);
    EXPECT_TRUE(ReadFile(out / "data/maps/stored.dat") == storedBig);
    EXPECT_EQ(ReadFile(out / "zel.exe"), "binary");
    EXPECT_EQ(ReadFile(out / "x/a.txt"), "a");
    EXPECT_EQ(ReadFile(out / "c.txt"), "c");
    EXPECT_EQ(ReadFile(out / "z.txt"), "z");
    EXPECT_TRUE(fs::is_directory(out / "docs"));
}

TEST_F(UnzipPackageTest, TreFlagChoosesTheArchive) {
    MakeZip(dir_ / "patch.upd", {{.name = "which.txt", .data = "upd"}});
    MakeZip(dir_ / "patch.tre", {{.name = "which.txt", .data = "tre"}});
    ASSERT_TRUE(UnzipPackage(Package(), true));
    EXPECT_EQ(ReadFile(dir_ / "patch/which.txt"), "tre");
    ASSERT_TRUE(UnzipPackage(Package(), false));
    EXPECT_EQ(ReadFile(dir_ / "patch/which.txt"), "upd");
}

TEST_F(UnzipPackageTest, EmptyArchiveCreatesNothing) {
    MakeZip(dir_ / "patch.upd", {});
    EXPECT_TRUE(UnzipPackage(Package(), false));
    EXPECT_EQ(ListTree(dir_.path()), std::vector<std::string>{"patch.upd"});
    EXPECT_TRUE(progress_.empty());
}

TEST_F(UnzipPackageTest, ArchiveThatCannotBeOpenedFails) {
    ZipLastError = ZipOk;
    EXPECT_FALSE(UnzipPackage(Package(), false));
    EXPECT_EQ(ZipLastError.load(), ZipErrOpen);

    WriteFile(dir_ / "patch.upd", "<html>502 Bad Gateway</html>");
    EXPECT_FALSE(UnzipPackage(Package(), false));
    EXPECT_EQ(ZipLastError.load(), ZipErrOpen);
    EXPECT_EQ(ListTree(dir_.path()), std::vector<std::string>{"patch.upd"});
}

TEST_F(UnzipPackageTest, FailedEntriesFailThePackageWithTheFirstCode) {
    MakeZip(dir_ / "patch.upd", {{.name = "first.txt", .data = "1"},
                                 {.name = "locked.txt", .data = "secret", .password = "pw"},
                                 {.name = "middle.txt", .data = "2"},
                                 {.name = "../escape.txt", .data = "evil"},
                                 {.name = "bad.txt", .data = "payload", .declaredCrc = 0},
                                 {.name = "last.txt", .data = "3"}});
    EXPECT_FALSE(UnzipPackage(Package(), false));
    EXPECT_EQ(ZipLastError.load(), ZipErrEncrypted);
    // Every entry reports progress, failed ones too.
    ASSERT_EQ(progress_.size(), 6u);
    for (size_t i = 0; i < progress_.size(); ++i)
        EXPECT_FLOAT_EQ(progress_[i], static_cast<float>(i + 1) * 100 / 6);
    // The good entries are there for inspection; nothing failed left a file or a temporary.
    EXPECT_EQ(ListTree(dir_ / "patch"),
              (std::vector<std::string>{"first.txt", "last.txt", "middle.txt"}));
    EXPECT_FALSE(fs::exists(dir_ / "escape.txt"));
}

TEST_F(UnzipPackageTest, CentralDirectoryCountingPhantomEntries) {
    // Two real entries, five claimed: the walk fails once and the rest fail without walking.
    std::string bytes = RawZipBytes({StoredRawEntry("a.txt", std::string(200, 'a')),
                                     StoredRawEntry("b.txt", std::string(200, 'b'))},
                                    5);
    WriteFile(dir_ / "patch.upd", bytes);
    EXPECT_FALSE(UnzipPackage(Package(), false));
    EXPECT_EQ(ZipLastError.load(), ZipErrHeader);
    EXPECT_EQ(ListTree(dir_ / "patch"), (std::vector<std::string>{"a.txt", "b.txt"}));
}

} // namespace
