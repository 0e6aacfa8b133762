// Unpacking a whole downloaded package: every entry below the package directory, progress per
// entry, and a package that fails as a whole when any entry fails.
#include "launcher/zip/unzip_package.h"
#include "launcher/zip/zip_entry.h"
#include "tests/launcher/zip/zip_log_capture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_maker.h"

#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <sched.h>
#include <sys/mount.h>

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

uint32_t GetU32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

void PutU32(std::string& bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

// An archive of one entry whose central record is repeated `records` times, each copy under its
// own name of the same length ("f0000.dat", ...) and all pointing at the one local entry.
std::string ManyRecordsForOneEntry(const std::string& data, int records) {
    const std::string one = ZipBytes({{.name = "f0000.dat", .data = data}});
    const size_t endRecord = one.size() - 22;
    const size_t central = GetU32(one, endRecord + 16);
    const std::string record = one.substr(central, endRecord - central);
    std::string out = one.substr(0, central);
    for (int i = 0; i < records; ++i) {
        std::string copy = record;
        const std::string number = std::to_string(10000 + i).substr(1);
        copy.replace(copy.size() - 8, 4, number);
        out += copy;
    }
    std::string end = one.substr(endRecord);
    end[8] = end[10] = static_cast<char>(records & 0xFF);
    end[9] = end[11] = static_cast<char>(records >> 8);
    PutU32(end, 12, static_cast<uint32_t>(record.size() * static_cast<size_t>(records)));
    return out + end;
}

// A tmpfs mounted at `dir` that only this test's process sees (each test runs in a process of
// its own); unmounted at the end of the test.
class PrivateTmpfs {
public:
    PrivateTmpfs(const fs::path& dir, const char* options) : dir_(dir) {
        fs::create_directories(dir);
        mounted_ = unshare(CLONE_NEWNS) == 0 &&
                   mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                   mount("tmpfs", dir.c_str(), "tmpfs", 0, options) == 0;
    }
    ~PrivateTmpfs() {
        if (mounted_)
            umount2(dir_.c_str(), MNT_DETACH);
    }
    PrivateTmpfs(const PrivateTmpfs&) = delete;
    PrivateTmpfs& operator=(const PrivateTmpfs&) = delete;
    bool mounted() const { return mounted_; }

private:
    fs::path dir_;
    bool mounted_ = false;
};

class UnzipPackageTest : public testing::Test {
protected:
    bool Unzip(bool isTre) { return UnzipAt(dir_ / "patch", isTre); }
    bool UnzipAt(const fs::path& package, bool isTre = false) {
        return UnzipPackage(package.wstring(), isTre,
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

TEST_F(UnzipPackageTest, OverlappingEntriesAreRefusedBeforeAnythingIsWritten) {
    // 3,000 central records of one local entry of 1 MiB: about 170 KB that would write 3 GB.
    WriteFile(dir_ / "many/patch.upd", ManyRecordsForOneEntry(std::string(1 << 20, '\0'), 3000));
    // The first entry's packed data claims to run on over the second entry's header.
    std::string quoted =
        ZipBytes({{.name = "a.txt", .data = std::string(100, 'a'), .deflate = false},
                  {.name = "b.txt", .data = "b"}});
    const size_t central = GetU32(quoted, quoted.size() - 22 + 16);
    PutU32(quoted, 18, 110);           // the local header's packed size
    PutU32(quoted, central + 20, 110); // the central record's
    WriteFile(dir_ / "quoted/patch.upd", quoted);

    for (const char* name : {"many", "quoted"}) {
        SCOPED_TRACE(name);
        ZipLastError = ZipOk;
        EXPECT_FALSE(UnzipAt(dir_ / name / "patch"));
        EXPECT_EQ(ZipLastError.load(), ZipErrHeader);
        EXPECT_EQ(ListTree(dir_ / name), Paths{"patch.upd"});
    }
    EXPECT_TRUE(progress_.empty());
}

TEST_F(UnzipPackageTest, PathsTheSystemCannotNameAreRefusedBeforeAnythingIsWritten) {
    const size_t base = (dir_ / "fits/patch").native().size();
    ASSERT_EQ((dir_ / "long/patch").native().size(), base);
    // Levels of 200 bytes, so that base/name is exactly `length` bytes long.
    const auto nameOfPath = [base](size_t length) {
        std::string name;
        size_t left = length - base - 1;
        while (left > 200) {
            name += std::string(199, 'd') + "/";
            left -= 200;
        }
        return name + std::string(left, 'f');
    };
    const struct {
        const char* package;
        std::string name;
        bool unpacks;
    } cases[] = {
        {"fits", nameOfPath(PATH_MAX - 1), true},
        {"long", nameOfPath(PATH_MAX), false},
        {"name255", std::string(NAME_MAX, 'n'), true},
        {"name256", std::string(NAME_MAX + 1, 'n'), false},
        // One directory nested 32,760 deep: a single name of 65,520 bytes.
        {"deep",
         [] {
             std::string name;
             for (int i = 0; i < 32760; ++i)
                 name += "a/";
             return name;
         }(),
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.package);
        MakeZip(dir_ / c.package / "patch.upd",
                {{.name = "first.txt", .data = "1"}, {.name = c.name, .data = "x"}});
        ZipLastError = ZipOk;
        EXPECT_EQ(UnzipAt(dir_ / c.package / "patch"), c.unpacks);
        if (c.unpacks) {
            EXPECT_EQ(ReadFile(dir_ / c.package / "patch" / c.name), "x");
            continue;
        }
        EXPECT_EQ(ZipLastError.load(), ZipErrOpen);
        EXPECT_EQ(ListTree(dir_ / c.package), Paths{"patch.upd"});
    }
}

TEST_F(UnzipPackageTest, PackageThatDoesNotFitTheDiskIsRefusedBeforeAnythingIsWritten) {
    std::vector<ZipMakerEntry> manyFiles;
    for (int i = 0; i < 100; ++i)
        manyFiles.push_back({.name = "f" + std::to_string(i)});
    const struct {
        const char* disk;
        std::vector<ZipMakerEntry> entries;
        bool unpacks;
    } cases[] = {
        // 8 MiB of zeros packs into a few KB.
        {"size=4m",
         {{.name = "small.txt", .data = "s"},
          {.name = "zeros", .data = std::string(8 << 20, '\0')}},
         false},
        {"size=4m",
         {{.name = "small.txt", .data = "s"}, {.name = "mixed", .data = MixedBytes(1 << 20)}},
         true},
        {"size=4m,nr_inodes=64", manyFiles, false},
    };
    int number = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.disk + std::string(" ") + c.entries.back().name);
        const fs::path disk = dir_ / ("disk" + std::to_string(number++));
        PrivateTmpfs mount(disk, c.disk);
        if (!mount.mounted())
            GTEST_SKIP() << "this system does not let the test mount a small file system";
        MakeZip(disk / "patch.upd", c.entries);
        ZipLastError = ZipOk;
        EXPECT_EQ(UnzipAt(disk / "patch"), c.unpacks);
        if (c.unpacks) {
            EXPECT_EQ(ZipLastError.load(), ZipOk);
            EXPECT_TRUE(ReadFile(disk / "patch" / c.entries.back().name) == c.entries.back().data);
            continue;
        }
        EXPECT_EQ(ZipLastError.load(), ZipErrWrite);
        EXPECT_EQ(ListTree(disk), Paths{"patch.upd"});
    }
}

TEST_F(UnzipPackageTest, RootEntryOfBsdtarNamesThePackageDirectory) {
    WriteFile(dir_ / "tree/bin/zel.exe", "binary");
    WriteFile(dir_ / "tree/readme.txt", "read me");
    const std::string command =
        "cd '" + (dir_ / "tree").string() + "' && bsdtar --format zip -cf ../patch.upd .";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ZipLastError = ZipErrData;
    ASSERT_TRUE(Unzip(false));
    EXPECT_EQ(ZipLastError.load(), ZipOk);
    EXPECT_EQ(ListTree(dir_ / "patch"), (Paths{"bin", "bin/zel.exe", "readme.txt"}));
    EXPECT_EQ(ReadFile(dir_ / "patch/bin/zel.exe"), "binary");
}

TEST_F(UnzipPackageTest, TwoFilesLandingOnOnePathAreRefusedBeforeAnythingIsWritten) {
    // "bin\<zhongwen>.txt" and "bin\<zhongxin>.txt" in GBK: not UTF-8, so both decode to
    // "bin/" and four U+FFFD.
    MakeZip(dir_ / "patch.upd", {{.name = "first.txt", .data = "1"},
                                 {.name = "bin\\\xd6\xd0\xce\xc4.txt", .data = "text"},
                                 {.name = "bin/", .externalAttributes = 0x10},
                                 {.name = "bin\\\xd6\xd0\xd0\xc4.txt", .data = "centre"}});
    ZipLogCapture log;
    ZipLastError = ZipOk;
    EXPECT_FALSE(Unzip(false));
    EXPECT_EQ(ZipLastError.load(), ZipErrOpen);
    EXPECT_EQ(ListTree(dir_.path()), Paths{"patch.upd"});
    EXPECT_NE(log.text().find("entries 1 (bin\\\\xd6\\xd0\\xce\\xc4.txt) and 3 "
                              "(bin\\\\xd6\\xd0\\xd0\\xc4.txt) are both written to bin/"),
              std::string::npos)
        << log.text();

    // A file and a directory of one name, or names differing in case, are no such pair.
    MakeZip(dir_ / "patch.upd", {{.name = "data/", .externalAttributes = 0x10},
                                 {.name = "data/", .externalAttributes = 0x10},
                                 {.name = "Map.txt", .data = "upper"},
                                 {.name = "map.txt", .data = "lower"}});
    EXPECT_TRUE(Unzip(false));
    EXPECT_EQ(ListTree(dir_ / "patch"), (Paths{"Map.txt", "data", "map.txt"}));
}

TEST_F(UnzipPackageTest, DeepTreesAreRefusedFromTheCentralDirectory) {
    const auto nested = [](int levels) {
        std::string name;
        for (int i = 1; i < levels; ++i)
            name += "a/";
        return name + "f.txt";
    };
    MakeZip(dir_ / "deep/patch.upd",
            {{.name = "first.txt", .data = "1"}, {.name = nested(2000), .data = "x"}});
    // A file may sit in the deepest directory the install walks.
    MakeZip(dir_ / "limit/patch.upd", {{.name = nested(257), .data = "x"}});
    MakeZip(dir_ / "over/patch.upd", {{.name = nested(258), .data = "x"}});
    ZipLogCapture log;
    for (const char* name : {"deep", "over"}) {
        SCOPED_TRACE(name);
        ZipLastError = ZipOk;
        EXPECT_FALSE(UnzipAt(dir_ / name / "patch"));
        EXPECT_EQ(ZipLastError.load(), ZipErrOpen);
        EXPECT_EQ(ListTree(dir_ / name), Paths{"patch.upd"});
    }
    EXPECT_NE(log.text().find("entry 1 has 1999 directory levels; at most 256 directory levels"),
              std::string::npos)
        << log.text();
    EXPECT_TRUE(UnzipAt(dir_ / "limit/patch"));
    EXPECT_EQ(ReadFile(dir_ / "limit/patch" / nested(257)), "x");
}

TEST_F(UnzipPackageTest, RefusedEntriesAreExplainedInTheLog) {
    // Methods and flags written over a stored entry: the data is never looked at.
    const auto withMethod = [](uint16_t method, uint16_t flags) {
        std::string zip = ZipBytes({{.name = "maps/x.dat", .data = "12345", .deflate = false}});
        const size_t central = GetU32(zip, zip.size() - 22 + 16);
        for (const size_t at : {size_t{6}, central + 8}) {
            zip[at] = static_cast<char>(flags);
            zip[at + 2] = static_cast<char>(method);
        }
        return zip;
    };
    const struct {
        std::string archive;
        const char* record;
        const char* reason;
    } cases[] = {
        {withMethod(9, 0), "code 0x5000000",
         "entry \"maps/x.dat\" (Deflate64 (method 9), 5 bytes packed, 5 unpacked): it is "
         "compressed with Deflate64 (method 9), which the launcher does not unpack"},
        {withMethod(12, 0), "code 0x5000000", "compressed with bzip2 (method 12)"},
        {withMethod(14, 0), "code 0x5000000", "compressed with LZMA (method 14)"},
        {withMethod(98, 0), "code 0x5000000", "compressed with PPMd (method 98)"},
        {withMethod(99, 1), "code 0x1000", "it is AES-encrypted"},
        {withMethod(8, 1), "code 0x1000", "it is encrypted; packages must not be encrypted"},
        {ZipBytes({{.name = "x.dat", .data = "12345", .declaredCrc = 7}}), "code 0x5000000",
         "does not match its declared sizes or CRC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        WriteFile(dir_ / "patch.upd", c.archive);
        ZipLogCapture log;
        EXPECT_FALSE(Unzip(false));
        EXPECT_NE(log.text().find(std::string("entry 0 not unpacked, ") + c.record),
                  std::string::npos)
            << log.text();
        EXPECT_NE(log.text().find(c.reason), std::string::npos) << log.text();
    }
}

} // namespace
