#include "tests/support/zip_maker.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <minizip/zip.h>
#include <zlib.h>

namespace testing_support {

namespace {

void PutU16(std::string& out, uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void PutU32(std::string& out, uint32_t value) {
    PutU16(out, static_cast<uint16_t>(value & 0xFFFF));
    PutU16(out, static_cast<uint16_t>(value >> 16));
}

void AddEntry(zipFile zip, const ZipMakerEntry& entry) {
    zip_fileinfo info{};
    info.dosDate = entry.dosTime;
    info.external_fa = entry.externalAttributes;
    const bool raw = entry.declaredSize || entry.declaredCrc;
    const std::string stored = raw && entry.deflate ? Deflate(entry.data) : entry.data;
    const int method = entry.deflate ? Z_DEFLATED : 0;
    const uLong crc = Crc32(entry.data);
    const int opened = zipOpenNewFileInZip4_64(
        zip, entry.name.c_str(), &info, entry.localExtra.data(),
        static_cast<uInt>(entry.localExtra.size()), nullptr, 0, nullptr, method,
        Z_DEFAULT_COMPRESSION, raw ? 1 : 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, entry.password, crc,
        static_cast<uLong>(entry.host) << 8 | 20, 0, 0);
    ASSERT_EQ(opened, ZIP_OK) << entry.name;
    if (!stored.empty()) {
        ASSERT_EQ(zipWriteInFileInZip(zip, stored.data(), static_cast<unsigned>(stored.size())),
                  ZIP_OK);
    }
    const int closed =
        raw ? zipCloseFileInZipRaw64(zip, entry.declaredSize.value_or(entry.data.size()),
                                     entry.declaredCrc.value_or(crc))
            : zipCloseFileInZip(zip);
    ASSERT_EQ(closed, ZIP_OK);
}

} // namespace

uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    const auto date = static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
    const auto time = static_cast<uint32_t>((hour << 11) | (minute << 5) | (second / 2));
    return date << 16 | time;
}

std::string ExtraBlock(const char (&tag)[3], const std::string& data) {
    std::string block{tag[0], tag[1]};
    PutU16(block, static_cast<uint16_t>(data.size()));
    return block + data;
}

std::string TimestampBlock(uint8_t flags, std::initializer_list<int32_t> times) {
    std::string data(1, static_cast<char>(flags));
    for (int32_t time : times)
        PutU32(data, static_cast<uint32_t>(time));
    return ExtraBlock("UT", data);
}

uint32_t Crc32(const std::string& bytes) {
    return static_cast<uint32_t>(crc32(crc32(0, Z_NULL, 0),
                                       reinterpret_cast<const Bytef*>(bytes.data()),
                                       static_cast<uInt>(bytes.size())));
}

std::string Deflate(const std::string& bytes) {
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, bytes.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

void MakeZip(const std::filesystem::path& archive, const std::vector<ZipMakerEntry>& entries) {
    if (archive.has_parent_path())
        std::filesystem::create_directories(archive.parent_path());
    zipFile zip = zipOpen64(archive.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zip, nullptr) << archive;
    for (const ZipMakerEntry& entry : entries) {
        AddEntry(zip, entry);
        if (testing::Test::HasFatalFailure())
            break;
    }
    ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
}

RawZipEntry StoredRawEntry(std::string name, std::string data) {
    RawZipEntry entry;
    entry.name = std::move(name);
    entry.crc = Crc32(data);
    entry.packedSize = entry.size = static_cast<uint32_t>(data.size());
    entry.data = std::move(data);
    return entry;
}

std::string RawZipBytes(const std::vector<RawZipEntry>& entries,
                        std::optional<uint16_t> declaredCount) {
    std::string out;
    std::string central;
    for (const RawZipEntry& e : entries) {
        const auto offset = static_cast<uint32_t>(out.size());
        PutU32(out, 0x04034b50);
        PutU16(out, 20);
        PutU16(out, e.flags);
        PutU16(out, e.method);
        PutU32(out, e.dosTime);
        PutU32(out, e.crc);
        PutU32(out, e.packedSize);
        PutU32(out, e.size);
        PutU16(out, static_cast<uint16_t>(e.name.size()));
        PutU16(out, static_cast<uint16_t>(e.localExtra.size()));
        out += e.name + e.localExtra + e.data;

        PutU32(central, 0x02014b50);
        PutU16(central, e.versionMadeBy);
        PutU16(central, 20);
        PutU16(central, e.flags);
        PutU16(central, e.method);
        PutU32(central, e.dosTime);
        PutU32(central, e.crc);
        PutU32(central, e.packedSize);
        PutU32(central, e.size);
        PutU16(central, static_cast<uint16_t>(e.name.size()));
        PutU16(central, 0); // extra
        PutU16(central, 0); // comment
        PutU16(central, 0); // disk
        PutU16(central, 0); // internal attributes
        PutU32(central, e.externalAttributes);
        PutU32(central, offset);
        central += e.name;
    }
    const auto centralOffset = static_cast<uint32_t>(out.size());
    out += central;
    const uint16_t count = declaredCount.value_or(static_cast<uint16_t>(entries.size()));
    PutU32(out, 0x06054b50);
    PutU16(out, 0);
    PutU16(out, 0);
    PutU16(out, count);
    PutU16(out, count);
    PutU32(out, static_cast<uint32_t>(central.size()));
    PutU32(out, centralOffset);
    PutU16(out, 0);
    return out;
}

std::vector<std::string> ListTree(const std::filesystem::path& root) {
    std::vector<std::string> paths;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        paths.push_back(it->path().lexically_relative(root).generic_string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace testing_support
