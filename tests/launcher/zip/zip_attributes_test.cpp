#include "launcher/zip/zip_extract.h"
#include "launcher/zip/zip_reader.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_maker.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using namespace testing_support;

ZipFileTime FromUnix(int64_t seconds) {
    return static_cast<ZipFileTime>(seconds) * ZipFileTimeTicksPerSecond + ZipFileTimeUnixEpoch;
}

class ZipAttributesTest : public testing::Test {
protected:
    void SetUp() override {
        // Each test runs in its own process, so the time zone can be fixed here.
        setenv("TZ", "UTC", 1);
        tzset();
        umask(022);
    }

    // Opens an archive of `entries`, reads every record and extracts every entry below out/.
    std::vector<ZipEntry> Unpack(const std::vector<ZipMakerEntry>& entries) {
        MakeZip(dir_ / "a.zip", entries);
        std::vector<ZipEntry> records;
        ZipHandle* handle = OpenZipFile((dir_ / "a.zip").wstring());
        if (handle == nullptr) {
            ADD_FAILURE() << "archive not opened";
            return records;
        }
        SetZipBaseDir(handle, (dir_ / "out").wstring());
        for (int32_t i = 0; i < static_cast<int32_t>(entries.size()); ++i) {
            ZipEntry entry;
            EXPECT_EQ(GetZipEntry(handle->reader, i, &entry), ZipOk) << i;
            EXPECT_EQ(ExtractZipEntry(handle->reader, i, entry.name), ZipOk) << i;
            records.push_back(entry);
        }
        CloseZipFile(handle);
        return records;
    }

    struct stat Stat(const std::string& relative) const {
        struct stat info {};
        EXPECT_EQ(lstat((dir_ / "out" / relative).c_str(), &info), 0) << relative;
        return info;
    }

    TempDir dir_;
};

TEST_F(ZipAttributesTest, UnixModesGiveWindowsAttributesAndFilePermissions) {
    const auto records = Unpack({
        {.name = "rw.txt",
         .data = "x",
         .host = kZipHostUnix,
         .externalAttributes = UnixAttributes(0100644)},
        {.name = "ro.txt",
         .data = "x",
         .host = kZipHostUnix,
         .externalAttributes = UnixAttributes(0100444)},
        {.name = "run.sh",
         .data = "x",
         .host = kZipHostUnix,
         .externalAttributes = UnixAttributes(0104755)},
        {.name = "dir/",
         .data = "",
         .host = kZipHostUnix,
         .externalAttributes = UnixAttributes(040755)},
    });
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].attributes, 0x20u);
    EXPECT_EQ(records[1].attributes, 0x21u);
    EXPECT_EQ(records[2].attributes, 0x20u);
    EXPECT_EQ(records[3].attributes, 0x30u);

    EXPECT_EQ(Stat("rw.txt").st_mode & 07777, 0644u);
    EXPECT_EQ(Stat("ro.txt").st_mode & 07777, 0444u);
    // Executables stay executable; a set-user-id bit from a package is never honoured.
    EXPECT_EQ(Stat("run.sh").st_mode & 07777, 0755u);
    EXPECT_TRUE(S_ISDIR(Stat("dir").st_mode));
}

TEST_F(ZipAttributesTest, DosAttributesAreCarriedAndReadOnlyDropsWriteBits) {
    const auto records = Unpack({
        {.name = "ro.txt", .data = "x", .externalAttributes = 0x21},
        {.name = "hidden.txt", .data = "x", .externalAttributes = 0x26},
        {.name = "plain.txt", .data = "x", .externalAttributes = 0x00},
        {.name = "docs", .data = "", .externalAttributes = 0x10},
    });
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].attributes, 0x21u);
    EXPECT_EQ(records[1].attributes, 0x26u);
    EXPECT_EQ(records[2].attributes, 0x00u);
    EXPECT_EQ(records[3].attributes, 0x10u);
    EXPECT_EQ(records[0].unixMode, 0u);

    EXPECT_EQ(Stat("ro.txt").st_mode & 0777, 0444u);
    EXPECT_EQ(Stat("hidden.txt").st_mode & 0777, 0644u);
    EXPECT_TRUE(S_ISDIR(Stat("docs").st_mode)); // a directory by its attribute alone
}

TEST_F(ZipAttributesTest, DosTimeIsLocalTimeAppliedAsLastWriteAndAccess) {
    const int64_t expected = 1614834368; // 2021-03-04 05:06:08 UTC
    auto records = Unpack({{.name = "a.txt", .data = "x"}});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].writeTime, FromUnix(expected));
    EXPECT_EQ(records[0].accessTime, FromUnix(expected));
    EXPECT_EQ(records[0].creationTime, FromUnix(expected));
    EXPECT_EQ(Stat("a.txt").st_mtime, expected);
    EXPECT_EQ(Stat("a.txt").st_atime, expected);

    // Five hours west of UTC, without daylight saving: the same DOS time is five hours later.
    setenv("TZ", "EST5", 1);
    tzset();
    std::filesystem::remove_all(dir_ / "out");
    records = Unpack({{.name = "a.txt", .data = "x"}});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].writeTime, FromUnix(expected + 5 * 3600));

    // The offset is the one in force at the entry's time, not today's.
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    std::filesystem::remove_all(dir_ / "out");
    records =
        Unpack({{.name = "winter", .data = "x", .dosTime = DosDateTime(2021, 1, 10, 12, 0, 0)},
                {.name = "summer", .data = "x", .dosTime = DosDateTime(2021, 7, 10, 12, 0, 0)}});
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].writeTime, FromUnix(1610276400)); // 11:00 UTC
    EXPECT_EQ(records[1].writeTime, FromUnix(1625911200)); // 10:00 UTC
}

TEST_F(ZipAttributesTest, ExtendedTimestampBlockOverridesAnnouncedTimes) {
    const int64_t dos = 1614834368;
    const int32_t write = 1700000000;
    const int32_t access = 1600000000;
    const auto records = Unpack({
        {.name = "write-only", .data = "x", .localExtra = TimestampBlock(1, {write})},
        {.name = "none", .data = "x", .localExtra = TimestampBlock(0, {})},
        // Found behind a block of more than 255 data bytes.
        {.name = "after-big",
         .data = "x",
         .localExtra =
             ExtraBlock("zz", std::string(300, 'z')) + TimestampBlock(3, {write, access})},
        // Flags announce three times, the block holds one: the others keep the DOS time.
        {.name = "short", .data = "x", .localExtra = TimestampBlock(7, {write})},
        {.name = "negative", .data = "x", .localExtra = TimestampBlock(1, {-86400})},
    });
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0].writeTime, FromUnix(write));
    EXPECT_EQ(records[0].accessTime, FromUnix(dos));
    EXPECT_EQ(records[0].creationTime, FromUnix(dos));
    EXPECT_EQ(Stat("write-only").st_mtime, write);
    EXPECT_EQ(Stat("write-only").st_atime, dos);

    EXPECT_EQ(records[1].writeTime, FromUnix(dos));
    EXPECT_EQ(records[2].writeTime, FromUnix(write));
    EXPECT_EQ(records[2].accessTime, FromUnix(access));
    EXPECT_EQ(Stat("after-big").st_atime, access);
    EXPECT_EQ(records[3].writeTime, FromUnix(write));
    EXPECT_EQ(records[3].accessTime, FromUnix(dos));
    EXPECT_EQ(Stat("negative").st_mtime, -86400);
}

TEST_F(ZipAttributesTest, InvalidDosTimeLeavesTheFileTimeAlone) {
    const time_t before = time(nullptr);
    const auto records = Unpack({
        {.name = "month0", .data = "x", .dosTime = DosDateTime(2021, 0, 4, 5, 6, 8)},
        {.name = "feb30", .data = "x", .dosTime = DosDateTime(2021, 2, 30, 5, 6, 8)},
        {.name = "hour25", .data = "x", .dosTime = DosDateTime(2021, 2, 3, 25, 6, 8)},
    });
    ASSERT_EQ(records.size(), 3u);
    for (const auto& record : records) {
        EXPECT_EQ(record.writeTime, 0u) << record.name;
        EXPECT_GE(Stat(std::string(record.name.begin(), record.name.end())).st_mtime, before);
    }
}

} // namespace
