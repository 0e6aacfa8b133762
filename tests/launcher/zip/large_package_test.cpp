// Packages past the 32-bit limits: sizes and offsets the records move into their Zip64 fields,
// archives made by other tools, and entries of more than 4 GiB written byte for byte.
#include "launcher/zip/unzip_package.h"
#include "launcher/zip/zip_entry.h"
#include "launcher/zip/zip_extract.h"
#include "launcher/zip/zip_reader.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_maker.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

constexpr uint64_t kGiB = uint64_t{1} << 30;
constexpr uint64_t kBigSize = 4 * kGiB + (1 << 20) + 5;

// Where the large entry is not zero: on both sides of 2 GiB and 4 GiB, and at its very end.
struct Marker {
    uint64_t at;
    const char* text;
};
constexpr Marker kMarkers[] = {{0, "start"},
                               {2 * kGiB - 3, "across 2 GiB"},
                               {4 * kGiB - 4, "across 4 GiB"},
                               {kBigSize - 3, "end"}};

// Writes an archive with python's zipfile: "first.txt", the large entry "big.bin" and
// "after.txt" behind it. Stored, the archive is written sparse, so its holes cost no disk.
const char* const kMakeArchive = R"(
import sys, zipfile
out, method, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
markers = [(int(sys.argv[i]), sys.argv[i + 1].encode()) for i in range(4, len(sys.argv), 2)]
CHUNK = 1 << 20
ZERO = bytes(CHUNK)
class Sparse:
    def __init__(self, f): self.f, self.pos, self.end = f, 0, 0
    def write(self, b):
        if not (len(b) == CHUNK and b == ZERO):
            self.f.seek(self.pos)
            self.f.write(b)
        self.pos += len(b)
        self.end = max(self.end, self.pos)
        return len(b)
    def tell(self): return self.pos
    def seek(self, p, whence=0):
        self.pos = p if whence == 0 else self.pos + p if whence == 1 else self.end + p
        return self.pos
    def seekable(self): return True
    def flush(self): pass
with open(out, 'wb') as f:
    sparse = Sparse(f)
    kind = zipfile.ZIP_STORED if method == 'stored' else zipfile.ZIP_DEFLATED
    with zipfile.ZipFile(sparse, 'w', kind, compresslevel=1) as z:
        z.writestr('first.txt', b'first')
        with z.open('big.bin', 'w', force_zip64=True) as e:
            for lo in range(0, size, CHUNK):
                n = min(CHUNK, size - lo)
                hits = [(at, t) for at, t in markers if at < lo + n and at + len(t) > lo]
                if not hits:
                    e.write(ZERO[:n])
                    continue
                chunk = bytearray(n)
                for at, t in hits:
                    for i, c in enumerate(t):
                        if lo <= at + i < lo + n:
                            chunk[at + i - lo] = c
                e.write(chunk)
        z.writestr('after.txt', b'after')
    f.truncate(sparse.end)
)";

void MakeBigArchive(const fs::path& archive, const char* method) {
    const fs::path script = archive.parent_path() / "make.py";
    WriteFile(script, kMakeArchive);
    std::string command = "python3 '" + script.string() + "' '" + archive.string() + "' " + method +
                          " " + std::to_string(kBigSize);
    for (const Marker& m : kMarkers)
        command += " " + std::to_string(m.at) + " '" + m.text + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// The offset of the first byte of `path` that differs from the large entry, or -1 when the
// file is that entry whole.
int64_t FirstDifference(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> got(1 << 20);
    std::vector<char> want(got.size());
    uint64_t done = 0;
    while (in) {
        in.read(got.data(), static_cast<std::streamsize>(got.size()));
        const auto n = static_cast<uint64_t>(in.gcount());
        if (n == 0)
            break;
        std::fill(want.begin(), want.end(), '\0');
        for (const Marker& m : kMarkers) {
            for (uint64_t i = 0; m.text[i] != '\0'; ++i) {
                if (m.at + i >= done && m.at + i < done + n)
                    want[m.at + i - done] = m.text[i];
            }
        }
        for (uint64_t i = 0; i < n; ++i) {
            if (got[i] != want[i])
                return static_cast<int64_t>(done + i);
        }
        done += n;
    }
    return done == kBigSize ? -1 : static_cast<int64_t>(done);
}

uint64_t Get(const std::string& bytes, size_t at, size_t size) {
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i)
        value |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

void Put(std::string& bytes, size_t at, uint64_t value, size_t size) {
    for (size_t i = 0; i < size; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

// Rewrites the central record of entry `index` as a Zip64 writer would: each chosen field
// (uncompressed size, compressed size, local-header offset) becomes 0xFFFFFFFF and its value
// moves into a Zip64 block, behind an unrelated block. `dropLast` leaves the last value out.
std::string MoveToZip64(const std::string& zip, int index, bool size, bool packed, bool offset,
                        bool dropLast = false) {
    const size_t endRecord = zip.size() - 22;
    const size_t central = Get(zip, endRecord + 16, 4);
    std::string records;
    for (size_t at = central, i = 0; at < endRecord; ++i) {
        const size_t length =
            46 + Get(zip, at + 28, 2) + Get(zip, at + 30, 2) + Get(zip, at + 32, 2);
        std::string record = zip.substr(at, length);
        at += length;
        if (i == static_cast<size_t>(index)) {
            std::string values;
            for (const auto& [moved, field] :
                 {std::pair{size, size_t{24}}, {packed, size_t{20}}, {offset, size_t{42}}}) {
                if (!moved)
                    continue;
                values += std::string(8, '\0');
                Put(values, values.size() - 8, Get(record, field, 4), 8);
                Put(record, field, 0xFFFFFFFF, 4);
            }
            if (dropLast)
                values.resize(values.size() - 8);
            std::string extra = std::string("\x55\x54\x05\x00\x01", 5) + "1234";
            extra += std::string("\x01\x00", 2) + std::string(2, '\0') + values;
            Put(extra, 11, values.size(), 2);
            record.insert(46 + Get(record, 28, 2), extra);
            Put(record, 30, extra.size(), 2);
        }
        records += record;
    }
    std::string end = zip.substr(endRecord);
    Put(end, 12, records.size(), 4);
    return zip.substr(0, central) + records + end;
}

class LargePackageTest : public testing::Test {
protected:
    // Unpacks dir_/patch.upd and checks all three entries; the record of the large entry holds
    // its real sizes.
    void UnpackAndCompare(uint64_t bigPackedAtMost) {
        ZipHandle* handle = OpenZipFile((dir_ / "patch.upd").wstring());
        ASSERT_NE(handle, nullptr);
        ZipEntry entry;
        ASSERT_EQ(GetZipEntry(handle->reader, 1, &entry), ZipOk);
        EXPECT_EQ(entry.name, L"big.bin");
        EXPECT_EQ(entry.size, static_cast<int64_t>(kBigSize));
        EXPECT_GT(entry.packedSize, 0);
        EXPECT_LE(entry.packedSize, static_cast<int64_t>(bigPackedAtMost));
        CloseZipFile(handle);

        ZipLastError = ZipErrData;
        ASSERT_TRUE(UnzipPackage((dir_ / "patch").wstring(), false, {}));
        EXPECT_EQ(ZipLastError.load(), ZipOk);
        EXPECT_EQ(ReadFile(dir_ / "patch/first.txt"), "first");
        EXPECT_EQ(ReadFile(dir_ / "patch/after.txt"), "after");
        EXPECT_EQ(fs::file_size(dir_ / "patch/big.bin"), kBigSize);
        EXPECT_EQ(FirstDifference(dir_ / "patch/big.bin"), -1);
    }

    TempDir dir_;
};

TEST_F(LargePackageTest, StoredPackageOfMoreThan4GiBWithItsEntryOfMoreThan4GiB) {
    MakeBigArchive(dir_ / "patch.upd", "stored");
    ASSERT_GT(fs::file_size(dir_ / "patch.upd"), kBigSize); // "after.txt" lies past 4 GiB
    UnpackAndCompare(kBigSize);
}

TEST_F(LargePackageTest, DeflatedEntryOfMoreThan4GiB) {
    MakeBigArchive(dir_ / "patch.upd", "deflated");
    UnpackAndCompare(kBigSize / 100);
}

// Any subset of the three fields may have moved; the block holds only those, in their order.
TEST_F(LargePackageTest, SizesAndOffsetAreReadFromTheZip64BlockWhereTheRecordMovedThem) {
    const std::string data(70000, 'z');
    const std::string zip =
        ZipBytes({{.name = "a.txt", .data = "first"}, {.name = "b.dat", .data = data}});
    const struct {
        bool size, packed, offset;
    } cases[] = {
        {true, false, false}, {false, true, true}, {false, false, true}, {true, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << c.packed << c.offset);
        WriteFile(dir_ / "patch.upd", MoveToZip64(zip, 1, c.size, c.packed, c.offset));
        ZipHandle* handle = OpenZipFile((dir_ / "patch.upd").wstring());
        ASSERT_NE(handle, nullptr);
        ZipEntry entry;
        EXPECT_EQ(GetZipEntry(handle->reader, 1, &entry), ZipOk);
        EXPECT_EQ(entry.size, 70000);
        EXPECT_LT(entry.packedSize, 1000);
        CloseZipFile(handle);
        EXPECT_TRUE(UnzipPackage((dir_ / "patch").wstring(), false, {}));
        EXPECT_TRUE(ReadFile(dir_ / "patch/b.dat") == data);
        fs::remove_all(dir_ / "patch");
    }

    // A value the record says moved but the block does not hold.
    WriteFile(dir_ / "patch.upd", MoveToZip64(zip, 1, true, true, false, true));
    ZipLastError = ZipOk;
    EXPECT_FALSE(UnzipPackage((dir_ / "patch").wstring(), false, {}));
    EXPECT_EQ(ZipLastError.load(), ZipErrHeader);
    EXPECT_FALSE(fs::exists(dir_ / "patch/b.dat"));
}

// Info-ZIP's "-fz" writes Zip64 records for a small file: its central record moves the
// uncompressed size alone.
TEST_F(LargePackageTest, SmallArchiveWithZip64RecordsFromInfoZip) {
    std::string data;
    for (int i = 0; i < 100000; ++i)
        data += std::to_string(i * 7919 % 100003) + ",";
    WriteFile(dir_ / "tree/table.csv", data);
    const std::string command =
        "cd '" + (dir_ / "tree").string() + "' && zip -q -fz ../patch.upd table.csv";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ZipLastError = ZipErrData;
    ASSERT_TRUE(UnzipPackage((dir_ / "patch").wstring(), false, {}));
    EXPECT_EQ(ZipLastError.load(), ZipOk);
    EXPECT_TRUE(ReadFile(dir_ / "patch/table.csv") == data);
}

} // namespace
