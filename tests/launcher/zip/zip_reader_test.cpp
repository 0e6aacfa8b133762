// Opening archives and reading entry records: what is refused at open, index bounds, and a walk
// through the central directory that can go back as well as forward.
#include "launcher/zip/zip_extract.h"
#include "launcher/zip/zip_reader.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_maker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using namespace testing_support;

class ZipReaderTest : public testing::Test {
protected:
    // An archive of entries e0.txt, e1.txt, ... holding "data <i>", plus the base dir out/.
    ZipHandle* OpenNumbered(int count) {
        std::vector<ZipMakerEntry> entries;
        for (int i = 0; i < count; ++i)
            entries.push_back(
                {.name = "e" + std::to_string(i) + ".txt", .data = "data " + std::to_string(i)});
        MakeZip(dir_ / "numbered.zip", entries);
        ZipHandle* handle = OpenZipFile((dir_ / "numbered.zip").wstring());
        if (handle != nullptr)
            SetZipBaseDir(handle, (dir_ / "out").wstring());
        return handle;
    }

    TempDir dir_;
};

// Archives that are no archive at all are in zip_extract_test's hostile table.
TEST_F(ZipReaderTest, OnlyRegularFilesAreOpened) {
    ASSERT_EQ(mkfifo((dir_ / "fifo.zip").c_str(), 0600), 0); // would block a plain open
    for (const auto& path : {dir_ / "missing.zip", dir_.path(), dir_ / "fifo.zip"}) {
        ZipLastError = ZipOk;
        EXPECT_EQ(OpenZipFile(path.wstring()), nullptr) << path;
        EXPECT_EQ(ZipLastError.load(), ZipErrOpen) << path;
    }
}

TEST_F(ZipReaderTest, AnyIndexOrderGivesThatEntryAndOutOfRangeIndicesAreRefused) {
    ZipHandle* handle = OpenNumbered(7);
    ASSERT_NE(handle, nullptr);
    ZipEntry entry;
    ASSERT_EQ(GetZipEntry(handle->reader, -1, &entry), ZipOk); // the count form
    EXPECT_EQ(entry.number, 7);
    // A lower index restarts the walk.
    for (int index : {5, 2, 2, 6, 0, 5}) {
        ASSERT_EQ(GetZipEntry(handle->reader, index, &entry), ZipOk);
        EXPECT_EQ(entry.number, index);
        EXPECT_EQ(entry.name, L"e" + std::to_wstring(index) + L".txt");
    }
    // Extraction walks the same way and writes the asked entry's data under the given name.
    EXPECT_EQ(ExtractZipEntry(handle->reader, 6, L"six.txt"), ZipOk);
    EXPECT_EQ(ExtractZipEntry(handle->reader, 1, L"one.txt"), ZipOk);
    EXPECT_EQ(GetZipEntry(handle->reader, 7, &entry), ZipErrBadArgument);
    EXPECT_EQ(GetZipEntry(handle->reader, -2, &entry), ZipErrBadArgument);
    EXPECT_EQ(ExtractZipEntry(handle->reader, 7, L"x"), ZipErrBadArgument);
    EXPECT_EQ(SetZipBaseDir(handle, L""), ZipErrBadArgument); // would mean "/"
    EXPECT_EQ(CloseZipFile(handle), ZipOk);
    EXPECT_EQ(ListTree(dir_ / "out"), (std::vector<std::string>{"one.txt", "six.txt"}));
    EXPECT_EQ(ReadFile(dir_ / "out/six.txt"), "data 6");
    EXPECT_EQ(ReadFile(dir_ / "out/one.txt"), "data 1");
}

TEST_F(ZipReaderTest, DamagedCentralRecordFailsOnlyTheEntriesFromIt) {
    // The second record loses its signature: the walk cannot pass it, entries after it fail at
    // once rather than walking again from the start, and the first stays readable.
    std::string bytes = ZipBytes({{.name = "a.txt", .data = "aaa"},
                                  {.name = "b.txt", .data = "bbb"},
                                  {.name = "c.txt", .data = "ccc"}});
    const size_t second = bytes.find("PK\x01\x02", bytes.find("PK\x01\x02") + 1);
    ASSERT_NE(second, std::string::npos);
    bytes[second + 2] = 'X';
    WriteFile(dir_ / "damaged.zip", bytes);
    ZipHandle* handle = OpenZipFile((dir_ / "damaged.zip").wstring());
    ASSERT_NE(handle, nullptr);
    SetZipBaseDir(handle, (dir_ / "out").wstring());

    ZipEntry entry;
    EXPECT_EQ(GetZipEntry(handle->reader, 1, &entry), ZipErrHeader);
    EXPECT_EQ(GetZipEntry(handle->reader, 2, &entry), ZipErrHeader);
    EXPECT_EQ(ExtractZipEntry(handle->reader, 2, L"c.txt"), ZipErrHeader);
    EXPECT_EQ(ExtractZipEntry(handle->reader, 0, L"a.txt"), ZipOk);
    EXPECT_EQ(CloseZipFile(handle), ZipOk);
    EXPECT_EQ(ListTree(dir_ / "out"), std::vector<std::string>{"a.txt"});
}

} // namespace
