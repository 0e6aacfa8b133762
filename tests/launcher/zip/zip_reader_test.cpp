#include "launcher/zip/zip_extract.h"
#include "launcher/zip/zip_reader.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_maker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace testing_support;

class ZipReaderTest : public testing::Test {
protected:
    std::wstring Wide(const std::string& relative) const { return (dir_ / relative).wstring(); }

    // An archive of `count` small entries named e0.txt, e1.txt, ... holding "data <i>".
    std::filesystem::path MakeNumbered(int count) {
        std::vector<ZipMakerEntry> entries;
        for (int i = 0; i < count; ++i)
            entries.push_back(
                {.name = "e" + std::to_string(i) + ".txt", .data = "data " + std::to_string(i)});
        const auto path = dir_ / "numbered.zip";
        MakeZip(path, entries);
        return path;
    }

    void ExpectOpenFails(const std::filesystem::path& path) {
        ZipLastError = ZipOk;
        EXPECT_EQ(OpenZipFile(path.wstring()), nullptr) << path;
        EXPECT_EQ(ZipLastError.load(), ZipErrOpen) << path;
    }

    TempDir dir_;
};

TEST_F(ZipReaderTest, FilesThatAreNoWholeArchiveAreNotOpened) {
    ExpectOpenFails(dir_ / "missing.zip");
    ExpectOpenFails(dir_.path()); // a directory

    WriteFile(dir_ / "empty.zip", "");
    ExpectOpenFails(dir_ / "empty.zip");
    WriteFile(dir_ / "text.zip", "this is not an archive\n");
    ExpectOpenFails(dir_ / "text.zip");

    const std::string whole = ReadFile(MakeNumbered(3));
    WriteFile(dir_ / "truncated.zip", whole.substr(0, whole.size() / 2));
    ExpectOpenFails(dir_ / "truncated.zip");
    WriteFile(dir_ / "tail-cut.zip", whole.substr(0, whole.size() - 30));
    ExpectOpenFails(dir_ / "tail-cut.zip");

    // A FIFO would block a plain open until a writer comes.
    ASSERT_EQ(mkfifo((dir_ / "fifo.zip").c_str(), 0600), 0);
    ExpectOpenFails(dir_ / "fifo.zip");

    // An end record claiming far more entries than the file can hold.
    WriteFile(dir_ / "liar.zip", RawZipBytes({StoredRawEntry("a.txt", "a")}, 60000));
    ExpectOpenFails(dir_ / "liar.zip");
}

TEST_F(ZipReaderTest, CountFormAndIndexBounds) {
    ZipHandle* handle = OpenZipFile(MakeNumbered(3).wstring());
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(ZipLastError.load(), ZipOk);

    ZipEntry entry;
    entry.name = L"stale";
    ASSERT_EQ(GetZipEntry(handle->reader, -1, &entry), ZipOk);
    EXPECT_EQ(entry.number, 3);
    EXPECT_EQ(entry.name, L"");
    EXPECT_EQ(entry.size, 0);
    EXPECT_EQ(entry.writeTime, 0u);

    EXPECT_EQ(GetZipEntry(handle->reader, 3, &entry), ZipErrBadArgument);
    EXPECT_EQ(GetZipEntry(handle->reader, -2, &entry), ZipErrBadArgument);
    EXPECT_EQ(GetZipEntry(handle->reader, 0, nullptr), ZipErrBadArgument);
    EXPECT_EQ(GetZipEntry(nullptr, 0, &entry), ZipErrBadArgument);
    EXPECT_EQ(ExtractZipEntry(handle->reader, 3, L"x"), ZipErrBadArgument);
    EXPECT_EQ(ExtractZipEntry(handle->reader, -1, L"x"), ZipErrBadArgument);
    EXPECT_EQ(CloseZipFile(handle), ZipOk);
}

TEST_F(ZipReaderTest, LowerIndexRestartsTheWalkAndGivesThatEntry) {
    ZipHandle* handle = OpenZipFile(MakeNumbered(7).wstring());
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(SetZipBaseDir(handle, Wide("out")), ZipOk);

    ZipEntry entry;
    for (int index : {5, 2, 2, 6, 0, 5}) {
        ASSERT_EQ(GetZipEntry(handle->reader, index, &entry), ZipOk);
        EXPECT_EQ(entry.number, index);
        EXPECT_EQ(entry.name, L"e" + std::to_wstring(index) + L".txt");
        EXPECT_EQ(entry.size, static_cast<int64_t>(("data " + std::to_string(index)).size()));
    }
    // Extraction walks the same way and writes the asked entry's data under the given name.
    EXPECT_EQ(ExtractZipEntry(handle->reader, 6, L"six.txt"), ZipOk);
    EXPECT_EQ(ExtractZipEntry(handle->reader, 1, L"one.txt"), ZipOk);
    EXPECT_EQ(ReadFile(dir_ / "out/six.txt"), "data 6");
    EXPECT_EQ(ReadFile(dir_ / "out/one.txt"), "data 1");
    EXPECT_EQ(CloseZipFile(handle), ZipOk);
}

TEST_F(ZipReaderTest, HandleChecksAndTheBaseDirectory) {
    EXPECT_EQ(SetZipBaseDir(nullptr, L"/tmp"), ZipErrBadArgument);
    EXPECT_EQ(ZipLastError.load(), ZipErrBadArgument);
    EXPECT_EQ(CloseZipFile(nullptr), ZipErrBadArgument);
    ZipHandle other{7, nullptr};
    EXPECT_EQ(SetZipBaseDir(&other, L"/tmp"), ZipErrNotReading);
    EXPECT_EQ(ZipLastError.load(), ZipErrNotReading);
    EXPECT_EQ(CloseZipFile(&other), ZipErrNotReading);

    // Without a base directory entries go below the current directory.
    const auto previous = std::filesystem::current_path();
    std::filesystem::create_directory(dir_ / "cwd");
    std::filesystem::current_path(dir_ / "cwd");
    ZipHandle* handle = OpenZipFile(MakeNumbered(1).wstring());
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(ExtractZipEntry(handle->reader, 0, L"e0.txt"), ZipOk);
    std::filesystem::current_path(previous);
    EXPECT_EQ(ReadFile(dir_ / "cwd/e0.txt"), "data 0");

    // A base without a trailing slash gets one; an empty base would mean "/".
    EXPECT_EQ(SetZipBaseDir(handle, L""), ZipErrBadArgument);
    EXPECT_EQ(SetZipBaseDir(handle, Wide("deep/base")), ZipOk);
    EXPECT_EQ(ZipLastError.load(), ZipOk);
    EXPECT_EQ(ExtractZipEntry(handle->reader, 0, L"e0.txt"), ZipOk);
    EXPECT_EQ(ReadFile(dir_ / "deep/base/e0.txt"), "data 0");

    ZipLastError = ZipErrData;
    EXPECT_EQ(CloseZipFile(handle), ZipOk);
    EXPECT_EQ(ZipLastError.load(), ZipOk);
}

TEST_F(ZipReaderTest, DamagedRecordsFailTheirEntriesOnly) {
    // The second central record loses its signature: the walk cannot pass it, and entries after
    // it fail at once rather than walking again from the start.
    std::string bytes = RawZipBytes({StoredRawEntry("a.txt", "aaa"), StoredRawEntry("b.txt", "bbb"),
                                     StoredRawEntry("c.txt", "ccc")});
    const size_t second = bytes.find("PK\x01\x02", bytes.find("PK\x01\x02") + 1);
    ASSERT_NE(second, std::string::npos);
    bytes[second + 2] = 'X';
    WriteFile(dir_ / "damaged.zip", bytes);
    ZipHandle* handle = OpenZipFile(Wide("damaged.zip"));
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(SetZipBaseDir(handle, Wide("out")), ZipOk);

    ZipEntry entry;
    EXPECT_EQ(GetZipEntry(handle->reader, 1, &entry), ZipErrHeader);
    EXPECT_EQ(GetZipEntry(handle->reader, 2, &entry), ZipErrHeader);
    EXPECT_EQ(ExtractZipEntry(handle->reader, 2, L"c.txt"), ZipErrHeader);
    EXPECT_EQ(ExtractZipEntry(handle->reader, 0, L"a.txt"), ZipOk);
    EXPECT_EQ(CloseZipFile(handle), ZipOk);
    EXPECT_EQ(ListTree(dir_ / "out"), std::vector<std::string>{"a.txt"});
}

TEST_F(ZipReaderTest, LocalHeaderThatDisagreesOrRunsPastTheEnd) {
    RawZipEntry disagreeing = StoredRawEntry("a.txt", "aaa");
    RawZipEntry good = StoredRawEntry("b.txt", "bbb");
    std::string bytes = RawZipBytes({disagreeing, good});
    bytes[14] ^= 0x55; // the local header's CRC
    WriteFile(dir_ / "disagree.zip", bytes);

    RawZipEntry lastWithExtra = StoredRawEntry("c.txt", "ccc");
    lastWithExtra.localExtra = ExtraBlock("xx", "1234");
    std::string extraBytes = RawZipBytes({good, lastWithExtra});
    const size_t local = extraBytes.find("PK\x03\x04", 1);
    extraBytes[local + 28] = '\xff'; // local extra length 0xFFxx: past the end of the file
    extraBytes[local + 29] = '\xff';
    WriteFile(dir_ / "extra.zip", extraBytes);

    ZipEntry entry;
    ZipHandle* handle = OpenZipFile(Wide("disagree.zip"));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(GetZipEntry(handle->reader, 0, &entry), ZipErrHeader);
    EXPECT_EQ(GetZipEntry(handle->reader, 1, &entry), ZipOk);
    EXPECT_EQ(CloseZipFile(handle), ZipOk);

    handle = OpenZipFile(Wide("extra.zip"));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(GetZipEntry(handle->reader, 1, &entry), ZipErrRead);
    EXPECT_EQ(GetZipEntry(handle->reader, 0, &entry), ZipOk);
    EXPECT_EQ(CloseZipFile(handle), ZipOk);
}

} // namespace
