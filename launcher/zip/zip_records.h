#pragma once
// The raw central and local records of an entry, read by the layer itself so that sizes and
// offsets are 64-bit wherever a record moved them into its Zip64 extra field.
#include <cstdint>
#include <span>

// Little-endian fields of a record.
inline uint16_t ZipLe16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t ZipLe32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t ZipLe64(const unsigned char* p) {
    return static_cast<uint64_t>(ZipLe32(p)) | static_cast<uint64_t>(ZipLe32(p + 4)) << 32;
}

// What a central-directory record says of its entry, Zip64 values already applied.
struct ZipCentralRecord {
    uint16_t versionMadeBy = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t dosTime = 0;
    uint32_t crc = 0;
    uint64_t packedSize = 0;
    uint64_t size = 0;
    uint32_t externalAttributes = 0;
    uint64_t localHeaderOffset = 0; // from the archive's start, bytes before it not counted
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
    uint16_t commentLength = 0;
};

inline constexpr uint64_t kZipCentralRecordSize = 46; // fixed part; name, extra and comment follow
inline constexpr uint64_t kZipLocalHeaderSize = 30;   // fixed part; name and extra follow

// Reads the fixed part of a central record. False when the signature is not there.
bool ParseZipCentralRecord(std::span<const unsigned char, kZipCentralRecordSize> fixed,
                           ZipCentralRecord& record);

// Replaces each of the uncompressed size, the compressed size and the local-header offset
// whose 32-bit field holds 0xFFFFFFFF by its 64-bit value from the extra field's Zip64 block
// (tag 0x0001), where the values follow in that order, present only for the fields that
// moved. False when such a field has no value there.
bool ApplyZip64Extra(std::span<const unsigned char> extraField, uint32_t rawSize,
                     uint32_t rawPackedSize, uint32_t rawOffset, ZipCentralRecord& record);

// The parts of a local header the central record is checked against.
struct ZipLocalHeader {
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t crc = 0;
    uint32_t packedSize = 0; // 0xFFFFFFFF: in the local Zip64 block
    uint32_t size = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
};

// Reads the fixed part of a local header. False when the signature is not there.
bool ParseZipLocalHeader(std::span<const unsigned char, kZipLocalHeaderSize> fixed,
                         ZipLocalHeader& header);

// Whether a local header agrees with its central record: same method and name length, and,
// unless the sizes follow the data (flag bit 3), the same CRC and the same sizes where the local
// header holds them itself.
bool ZipLocalHeaderAgrees(const ZipLocalHeader& local, const ZipCentralRecord& central);
