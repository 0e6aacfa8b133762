// What an entry's record says about the file and what the written file gets: Windows attributes
// and permissions from Unix or DOS hosts, times from the DOS field or an extended-timestamp block.
#include "launcher/zip/zip_attributes.h"
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
    return static_cast<ZipFileTime>(seconds * static_cast<int64_t>(ZipFileTimeTicksPerSecond) +
                                    static_cast<int64_t>(ZipFileTimeUnixEpoch));
}

class ZipAttributesTest : public testing::Test {
protected:
    void SetUp() override {
        // Each test runs in its own process, so the time zone can be fixed here.
        setenv("TZ", "UTC", 1);
        tzset();
        umask(022);
    }

    // Reads every record of an archive of `entries` and extracts every entry below out/.
    std::vector<ZipEntry> Unpack(const std::vector<ZipMakerEntry>& entries) {
        MakeZip(dir_ / "a.zip", entries);
        ZipHandle* handle = OpenZipFile((dir_ / "a.zip").wstring());
        EXPECT_NE(handle, nullptr);
        if (handle == nullptr)
            return {};
        SetZipBaseDir(handle, (dir_ / "out").wstring());
        std::vector<ZipEntry> records(entries.size());
        for (int32_t i = 0; i < static_cast<int32_t>(entries.size()); ++i) {
            ZipEntry& record = records[static_cast<size_t>(i)];
            EXPECT_EQ(GetZipEntry(handle->reader, i, &record), ZipOk) << i;
            EXPECT_EQ(ExtractZipEntry(handle->reader, i, record.name), ZipOk) << i;
        }
        CloseZipFile(handle);
        return records;
    }

    TempDir dir_;
};

TEST_F(ZipAttributesTest, RecordsAndWrittenFilesCarryAttributesAndTimes) {
    const int64_t dos = 1614834368; // the default DOS time, 2021-03-04 05:06:08, in UTC
    const int32_t write = 1700000000;
    const int32_t access = 1600000000;
    const auto unixMode = [](const char* name, uint32_t mode) {
        return ZipMakerEntry{
            .name = name, .host = kZipHostUnix, .externalAttributes = UnixAttributes(mode)};
    };
    const auto timed = [](const char* name, std::string extra, uint32_t time = 0) {
        return ZipMakerEntry{.name = name,
                             .dosTime = time ? time : DosDateTime(2021, 3, 4, 5, 6, 8),
                             .localExtra = std::move(extra)};
    };
    const struct {
        ZipMakerEntry entry;
        uint32_t attributes;
        mode_t mode;   // S_IFDIR and permission bits of what is written
        int64_t write; // 0: no time, the file keeps the time it was written at
        int64_t access;
    } cases[] = {
        {unixMode("rw.txt", 0100644), 0x20, 0644, dos, dos},
        {unixMode("ro.txt", 0100444), 0x21, 0444, dos, dos},
        // Executables stay executable; a set-user-id bit from a package is never honoured.
        {unixMode("run.sh", 0104755), 0x20, 0755, dos, dos},
        {unixMode("dir/", 040755), 0x30, S_IFDIR | 0755, dos, dos},
        {{.name = "dos-ro.txt", .externalAttributes = 0x21}, 0x21, 0444, dos, dos},
        {{.name = "hidden.txt", .externalAttributes = 0x26}, 0x26, 0644, dos, dos},
        // A directory by its attribute alone.
        {{.name = "docs", .externalAttributes = 0x10}, 0x10, S_IFDIR | 0755, dos, dos},
        // Found behind a block (tag "zz") of 300 = 0x12c data bytes.
        {timed("after-big",
               "zz\x2c\x01" + std::string(300, 'z') + TimestampBlock(3, {write, access})),
         0, 0644, write, access},
        {timed("negative", TimestampBlock(1, {-86400})), 0, 0644, -86400, dos},
        {timed("feb30", "", DosDateTime(2021, 2, 30, 5, 6, 8)), 0, 0644, 0, 0},
    };
    std::vector<ZipMakerEntry> entries;
    for (const auto& c : cases)
        entries.push_back(c.entry);
    const time_t before = time(nullptr);
    const auto records = Unpack(entries);
    ASSERT_EQ(records.size(), std::size(cases));
    for (size_t i = 0; i < records.size(); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.entry.name);
        struct stat file {};
        ASSERT_EQ(lstat((dir_ / "out" / c.entry.name).c_str(), &file), 0);
        EXPECT_EQ(records[i].attributes, c.attributes);
        EXPECT_EQ(file.st_mode & (S_IFDIR | 07777), c.mode);
        if (c.write == 0) {
            EXPECT_EQ(records[i].writeTime, 0u);
            EXPECT_GE(file.st_mtime, before);
            continue;
        }
        EXPECT_EQ(records[i].writeTime, FromUnix(c.write));
        EXPECT_EQ(records[i].accessTime, FromUnix(c.access));
        EXPECT_EQ(records[i].creationTime, FromUnix(dos));
        if (S_ISDIR(file.st_mode))
            continue; // only files get the record's times
        EXPECT_EQ(file.st_mtime, c.write);
        EXPECT_EQ(file.st_atime, c.access);
    }
}

TEST_F(ZipAttributesTest, DosDatesAtMonthAndYearEndsAreReadOrRefused) {
    const struct {
        int year, month, day, hour, minute, second;
        int64_t utc; // -1: not a calendar time
    } cases[] = {
        {1980, 1, 1, 0, 0, 0, 315532800}, // the first DOS time
        {2021, 1, 31, 13, 14, 16, 1612098856},
        {2021, 2, 28, 23, 59, 58, 1614556798},
        {2021, 3, 1, 0, 0, 0, 1614556800},
        {2021, 2, 29, 12, 0, 0, -1},
        {2020, 2, 29, 12, 0, 0, 1582977600},
        {2024, 2, 29, 23, 59, 58, 1709251198},
        {2000, 2, 29, 0, 0, 0, 951782400}, // divisible by 400
        {2100, 2, 29, 0, 0, 0, -1},        // by 100 only
        {2020, 2, 30, 0, 0, 0, -1},
        {2021, 4, 30, 8, 0, 0, 1619769600},
        {2021, 4, 31, 8, 0, 0, -1},
        {2021, 6, 31, 8, 0, 0, -1},
        {2021, 9, 31, 8, 0, 0, -1},
        {2021, 11, 31, 8, 0, 0, -1},
        {2021, 12, 31, 23, 59, 58, 1640995198},
        {2107, 12, 31, 23, 59, 58, 4354819198}, // the last DOS time
        {2021, 1, 0, 0, 0, 0, -1},
        {2021, 0, 10, 0, 0, 0, -1},
        {2021, 13, 10, 0, 0, 0, -1},
        {2021, 12, 31, 24, 0, 0, -1},
        {2021, 12, 31, 23, 60, 0, -1},
        {2021, 12, 31, 23, 59, 60, -1}, // seconds field 30
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day << " " << c.hour
                                        << ":" << c.minute << ":" << c.second);
        const uint32_t dos = DosDateTime(c.year, c.month, c.day, c.hour, c.minute, c.second);
        EXPECT_EQ(DosTimeToFileTime(dos), c.utc < 0 ? 0 : FromUnix(c.utc));
    }
}

TEST_F(ZipAttributesTest, DosTimesTakeTheOffsetInForceAtTheirDateInTheirZone) {
    const char* const europe = "CET-1CEST,M3.5.0,M10.5.0/3";
    // Summer time at the turn of the year in the southern hemisphere: 11 hours ahead.
    const char* const australia = "AEST-10AEDT,M10.1.0,M4.1.0/3";
    const struct {
        const char* zone;
        uint32_t dos;
        int64_t utc;
    } cases[] = {
        {europe, DosDateTime(2021, 1, 10, 12, 0, 0), 1610276400}, // 11:00 UTC
        {europe, DosDateTime(2021, 7, 10, 12, 0, 0), 1625911200}, // 10:00 UTC
        {"JST-9", DosDateTime(2107, 12, 31, 23, 59, 58), 4354786798},
        {"JST-9", DosDateTime(1980, 1, 1, 0, 0, 0), 315500400},
        {australia, DosDateTime(2021, 12, 31, 23, 59, 58), 1640955598},
        {australia, DosDateTime(2021, 6, 30, 23, 59, 58), 1625061598},
    };
    for (const auto& c : cases) {
        setenv("TZ", c.zone, 1);
        tzset();
        EXPECT_EQ(DosTimeToFileTime(c.dos), FromUnix(c.utc)) << c.zone << " " << c.utc;
    }
}

TEST_F(ZipAttributesTest, ExtendedTimestampBlockSetsTheTimesItsFlagsName) {
    constexpr ZipFileTime kDos = 1;        // stands for the time the DOS field gave
    const int32_t leapDayEnd = 1709251198; // 2024-02-29 23:59:58
    const int32_t yearEnd = 1640995199;    // 2021-12-31 23:59:59, an odd second DOS cannot hold
    const auto block = [](uint8_t flags, std::initializer_list<int32_t> times) {
        return TimestampBlock(flags, times);
    };
    const struct {
        const char* what;
        std::string field;
        int64_t write, access, creation; // INT64_MIN: kept at the DOS time
    } cases[] = {
        {"write", block(1, {leapDayEnd}), leapDayEnd, INT64_MIN, INT64_MIN},
        {"access", block(2, {yearEnd}), INT64_MIN, yearEnd, INT64_MIN},
        {"creation", block(4, {yearEnd}), INT64_MIN, INT64_MIN, yearEnd},
        {"all three in order", block(7, {1, 2, 3}), 1, 2, 3},
        {"write and creation", block(5, {1, 3}), 1, INT64_MIN, 3},
        {"extremes", block(3, {INT32_MAX, INT32_MIN}), INT32_MAX, INT32_MIN, INT64_MIN},
        {"flags name more than it holds", block(7, {yearEnd}), yearEnd, INT64_MIN, INT64_MIN},
        {"only the first block", block(1, {1}) + block(1, {2}), 1, INT64_MIN, INT64_MIN},
        {"behind another block", std::string("zz\x02\x00zz", 6) + block(1, {yearEnd}), yearEnd,
         INT64_MIN, INT64_MIN},
        // The block holds the flags only: the bytes after it belong to the next block.
        {"time outside the block", std::string("UT\x01\x00\x01zz\x00\x00", 9), INT64_MIN, INT64_MIN,
         INT64_MIN},
        {"cut off", block(1, {yearEnd}).substr(0, 8), INT64_MIN, INT64_MIN, INT64_MIN},
        {"no data", std::string("UT\x00\x00", 4), INT64_MIN, INT64_MIN, INT64_MIN},
        {"inside a longer block", std::string("zz\x09\x00", 4) + block(1, {yearEnd}), INT64_MIN,
         INT64_MIN, INT64_MIN},
        {"other tag", "TU" + block(1, {yearEnd}).substr(2), INT64_MIN, INT64_MIN, INT64_MIN},
    };
    const auto expected = [](int64_t seconds) {
        return seconds == INT64_MIN ? kDos : FromUnix(seconds);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ZipEntry entry;
        entry.writeTime = entry.accessTime = entry.creationTime = kDos;
        const auto* bytes = reinterpret_cast<const unsigned char*>(c.field.data());
        ApplyExtendedTimestamp({bytes, c.field.size()}, entry);
        EXPECT_EQ(entry.writeTime, expected(c.write));
        EXPECT_EQ(entry.accessTime, expected(c.access));
        EXPECT_EQ(entry.creationTime, expected(c.creation));
    }
}

} // namespace
