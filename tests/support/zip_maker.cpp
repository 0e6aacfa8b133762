#include "tests/support/zip_maker.h"

#include <algorithm>
#include <zlib.h>

#include "tests/support/temp_dir.h"

namespace testing_support {

namespace {

void Put(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
}

// Raw deflate, as a zip entry stores it: zlib's stream without its header and checksum.
std::string Deflate(const std::string& bytes) {
    uLongf size = compressBound(bytes.size());
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(bytes.data()), bytes.size(), Z_DEFAULT_COMPRESSION);
    return out.substr(2, size - 6);
}

} // namespace

uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    const auto date = static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
    const auto time = static_cast<uint32_t>((hour << 11) | (minute << 5) | (second / 2));
    return date << 16 | time;
}

std::string TimestampBlock(uint8_t flags, std::initializer_list<int32_t> times) {
    std::string block = "UT";
    Put(block, 1 + 4 * times.size(), 2);
    block += static_cast<char>(flags);
    for (int32_t time : times)
        Put(block, static_cast<uint32_t>(time), 4);
    return block;
}

uint32_t Crc32(const std::string& bytes) {
    return static_cast<uint32_t>(crc32(crc32(0, Z_NULL, 0),
                                       reinterpret_cast<const Bytef*>(bytes.data()),
                                       static_cast<uInt>(bytes.size())));
}

std::string ZipBytes(const std::vector<ZipMakerEntry>& entries,
                     std::optional<uint16_t> declaredCount) {
    std::string out;
    std::string central;
    for (const ZipMakerEntry& e : entries) {
        const std::string stored = e.deflate ? Deflate(e.data) : e.data;
        // What both headers say, from the flags to the name's length.
        std::string shared;
        Put(shared, e.encrypted ? 1 : 0, 2);
        Put(shared, e.deflate ? Z_DEFLATED : 0, 2);
        Put(shared, e.dosTime, 4);
        Put(shared, e.declaredCrc.value_or(Crc32(e.data)), 4);
        Put(shared, stored.size(), 4);
        Put(shared, e.declaredSize.value_or(e.data.size()), 4);
        Put(shared, e.name.size(), 2);

        Put(central, 0x02014b50, 4);
        Put(central, uint32_t{e.host} << 8 | 20, 2); // made by
        Put(central, 20, 2);                         // needed to extract
        central += shared;
        Put(central, 0, 8); // extra and comment lengths, disk, internal attributes
        Put(central, e.externalAttributes, 4);
        Put(central, out.size(), 4);
        central += e.name;

        Put(out, 0x04034b50, 4);
        Put(out, 20, 2);
        out += shared;
        Put(out, e.localExtra.size(), 2);
        out += e.name + e.localExtra + stored;
    }
    const uint16_t count = declaredCount.value_or(static_cast<uint16_t>(entries.size()));
    const size_t centralOffset = out.size();
    out += central;
    Put(out, 0x06054b50, 4);
    Put(out, 0, 4);     // disk numbers
    Put(out, count, 2); // on this disk
    Put(out, count, 2); // in all
    Put(out, central.size(), 4);
    Put(out, centralOffset, 4);
    Put(out, 0, 2); // comment length
    return out;
}

void MakeZip(const std::filesystem::path& archive, const std::vector<ZipMakerEntry>& entries) {
    WriteFile(archive, ZipBytes(entries));
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
