#pragma once
// Real zip archives for tests, written byte by byte so that they can also hold what no zip
// writer would make: any name bytes, sizes and CRCs that lie, an encryption flag, a false entry
// count in the end record.
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

inline constexpr uint8_t kZipHostUnix = 3;

// The DOS date (high 16 bits) and time (low 16 bits) of a local calendar time.
uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second);

// External attributes holding a Unix mode such as 0100644.
inline uint32_t UnixAttributes(uint32_t mode) {
    return mode << 16;
}

// An extended-timestamp extra-field block: tag "UT", its size, the flags, then the given times.
std::string TimestampBlock(uint8_t flags, std::initializer_list<int32_t> times);

uint32_t Crc32(const std::string& bytes);

struct ZipMakerEntry {
    std::string name{}; // any bytes, NUL included
    std::string data{};
    bool deflate = true;
    uint32_t dosTime = DosDateTime(2021, 3, 4, 5, 6, 8);
    std::string localExtra{};
    uint8_t host = 0; // 0 is DOS
    uint32_t externalAttributes = 0;
    // Both headers claim these instead of the data's real size and CRC.
    std::optional<uint64_t> declaredSize{};
    std::optional<uint32_t> declaredCrc{};
    bool encrypted = false; // only the flag: the data stays plain
};

// Local headers, data, central directory and end record of the entries in order (none gives an
// empty archive). `declaredCount` replaces the number of entries the end record claims.
std::string ZipBytes(const std::vector<ZipMakerEntry>& entries,
                     std::optional<uint16_t> declaredCount = std::nullopt);

// Writes ZipBytes(entries) to `archive`, creating its directory.
void MakeZip(const std::filesystem::path& archive, const std::vector<ZipMakerEntry>& entries);

// Every file, directory and link below `root` as sorted relative paths ("a", "a/b.txt"), so
// a test can assert that an unpack wrote exactly what it should and nothing else.
std::vector<std::string> ListTree(const std::filesystem::path& root);

} // namespace testing_support
