#include "launcher/zip/zip_records.h"

#include <algorithm>

namespace {

constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint16_t kZip64Tag = 0x0001;
constexpr uint32_t kMoved = 0xFFFFFFFF;
constexpr uint16_t kFlagSizesFollow = 0x8;

} // namespace

bool ParseZipCentralRecord(std::span<const unsigned char, kZipCentralRecordSize> fixed,
                           ZipCentralRecord& record) {
    const unsigned char* p = fixed.data();
    if (ZipLe32(p) != kCentralSignature)
        return false;
    record.versionMadeBy = ZipLe16(p + 4);
    record.flags = ZipLe16(p + 8);
    record.method = ZipLe16(p + 10);
    record.dosTime = ZipLe32(p + 12);
    record.crc = ZipLe32(p + 16);
    record.packedSize = ZipLe32(p + 20);
    record.size = ZipLe32(p + 24);
    record.nameLength = ZipLe16(p + 28);
    record.extraLength = ZipLe16(p + 30);
    record.commentLength = ZipLe16(p + 32);
    record.externalAttributes = ZipLe32(p + 38);
    record.localHeaderOffset = ZipLe32(p + 42);
    return true;
}

bool ApplyZip64Extra(std::span<const unsigned char> extraField, uint32_t rawSize,
                     uint32_t rawPackedSize, uint32_t rawOffset, ZipCentralRecord& record) {
    uint64_t* const targets[] = {&record.size, &record.packedSize, &record.localHeaderOffset};
    const uint32_t raw[] = {rawSize, rawPackedSize, rawOffset};
    if (raw[0] != kMoved && raw[1] != kMoved && raw[2] != kMoved)
        return true;
    for (size_t pos = 0; pos + 4 <= extraField.size();) {
        const unsigned char* block = extraField.data() + pos;
        const size_t dataSize = ZipLe16(block + 2);
        if (ZipLe16(block) != kZip64Tag) {
            pos += 4 + dataSize;
            continue;
        }
        const size_t end = std::min(extraField.size(), pos + 4 + dataSize);
        size_t at = pos + 4;
        for (size_t i = 0; i < 3; ++i) {
            if (raw[i] != kMoved)
                continue;
            if (at + 8 > end)
                return false;
            *targets[i] = ZipLe64(extraField.data() + at);
            at += 8;
        }
        return true;
    }
    return false;
}

bool ParseZipLocalHeader(std::span<const unsigned char, kZipLocalHeaderSize> fixed,
                         ZipLocalHeader& header) {
    const unsigned char* p = fixed.data();
    if (ZipLe32(p) != kLocalSignature)
        return false;
    header.flags = ZipLe16(p + 6);
    header.method = ZipLe16(p + 8);
    header.crc = ZipLe32(p + 14);
    header.packedSize = ZipLe32(p + 18);
    header.size = ZipLe32(p + 22);
    header.nameLength = ZipLe16(p + 26);
    header.extraLength = ZipLe16(p + 28);
    return true;
}

bool ZipLocalHeaderAgrees(const ZipLocalHeader& local, const ZipCentralRecord& central) {
    if (local.method != central.method || local.nameLength != central.nameLength)
        return false;
    if (local.flags & kFlagSizesFollow)
        return true;
    const auto sizeAgrees = [](uint32_t localSize, uint64_t centralSize) {
        return localSize == kMoved || localSize == centralSize;
    };
    return local.crc == central.crc && sizeAgrees(local.packedSize, central.packedSize) &&
           sizeAgrees(local.size, central.size);
}
