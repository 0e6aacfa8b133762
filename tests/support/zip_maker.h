#pragma once
// Real zip archives for tests: well-formed ones through minizip's zip API, and malformed ones
// written byte by byte. Failures end the test with a fatal GoogleTest failure.
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

inline constexpr uint8_t kZipHostDos = 0;
inline constexpr uint8_t kZipHostUnix = 3;

// The DOS date (high 16 bits) and time (low 16 bits) of a local calendar time.
uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second);

// External attributes holding a Unix mode such as 0100644.
inline uint32_t UnixAttributes(uint32_t mode) {
    return mode << 16;
}

// One extra-field block: two tag characters, the 16-bit data size and the data.
std::string ExtraBlock(const char (&tag)[3], const std::string& data);
// An extended-timestamp ("UT") block: the flags, then one 32-bit time per flagged bit.
std::string TimestampBlock(uint8_t flags, std::initializer_list<int32_t> times);

uint32_t Crc32(const std::string& bytes);

struct ZipMakerEntry {
    std::string name{};
    std::string data{};
    bool deflate = true;
    uint32_t dosTime = DosDateTime(2021, 3, 4, 5, 6, 8);
    std::string localExtra{};
    uint8_t host = kZipHostDos;
    uint32_t externalAttributes = 0;
    // Declared values other than the real ones: the data is then written raw (deflated here
    // when `deflate`) and the central directory claims these.
    std::optional<uint64_t> declaredSize{};
    std::optional<uint32_t> declaredCrc{};
    // Encrypts the entry with minizip's traditional zip encryption.
    const char* password = nullptr;
};

// Writes an archive with the entries in order (an empty list gives an empty archive).
void MakeZip(const std::filesystem::path& archive, const std::vector<ZipMakerEntry>& entries);

// An entry exactly as its headers will say, for archives no zip writer would make.
struct RawZipEntry {
    std::string name{}; // may hold any bytes, NUL included
    std::string data{}; // the bytes as stored (already compressed when method is 8)
    uint16_t method = 0;
    uint16_t flags = 0;
    uint32_t crc = 0;
    uint32_t packedSize = 0;
    uint32_t size = 0;
    uint16_t versionMadeBy = 20;
    uint32_t externalAttributes = 0;
    uint32_t dosTime = DosDateTime(2021, 3, 4, 5, 6, 8);
    std::string localExtra{};
};

// A stored entry with correct sizes and CRC.
RawZipEntry StoredRawEntry(std::string name, std::string data);

// Local headers, data, central directory and end record. `declaredCount` replaces the number
// of entries the end record claims.
std::string RawZipBytes(const std::vector<RawZipEntry>& entries,
                        std::optional<uint16_t> declaredCount = std::nullopt);

// Raw deflate of `bytes`, as a zip entry stores it.
std::string Deflate(const std::string& bytes);

// Every file, directory and link below `root` as sorted relative paths ("a", "a/b.txt"), so
// a test can assert that an unpack wrote exactly what it should and nothing else.
std::vector<std::string> ListTree(const std::filesystem::path& root);

} // namespace testing_support
