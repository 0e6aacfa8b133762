#pragma once
// Copies one entry's data from the archive file to its output file. minizip has already checked
// the entry's headers and located its data; the data itself is read and inflated here, so each byte
// is copied once, its CRC computed once, and the deflate stream's own end can be checked against
// the declared size.
#include "launcher/zip/zip_output.h"
#include "launcher/zip/zip_source.h"

#include <cstdint>
#include <memory>
#include <zlib.h>

// What the headers declare about an entry's data.
struct ZipDataFacts {
    uint32_t method = 0; // 0 stored, 8 deflated
    uint32_t flags = 0;
    uint32_t crc = 0;
    uint64_t packedSize = 0;
    uint64_t size = 0;
    uint64_t dataOffset = 0;   // where the stored or compressed bytes start in the archive file
    uint64_t headerOffset = 0; // where the entry's local header starts
};

inline constexpr uint32_t kZipMethodStored = 0;
inline constexpr uint32_t kZipMethodDeflated = 8;

// The compression methods ZipDataCopier unpacks; every other one refuses its entry.
inline constexpr bool IsUnpackedMethod(uint32_t method) {
    return method == kZipMethodStored || method == kZipMethodDeflated;
}

// Buffers and the inflate state of one reader, allocated at its first extraction and reused.
class ZipDataCopier {
public:
    ZipDataCopier();
    ~ZipDataCopier();
    ZipDataCopier(const ZipDataCopier&) = delete;
    ZipDataCopier& operator=(const ZipDataCopier&) = delete;

    // Writes the entry's data, read from `archive`, to `out`.
    // ZipOk only when the packed bytes lie within the file, exactly `facts.size` bytes came out,
    // a deflate stream ended there and the CRC matches; else ZipErrData, or ZipErrWrite.
    // Only stored and deflated entries may be passed.
    uint32_t Copy(ZipSourceFile& archive, uint64_t archiveSize, const ZipDataFacts& facts,
                  ZipOutputFile& out);

private:
    uint32_t CopyStored(ZipSourceFile& archive, const ZipDataFacts& facts, ZipOutputFile& out);
    uint32_t CopyDeflated(ZipSourceFile& archive, const ZipDataFacts& facts, ZipOutputFile& out);
    uint32_t Inflate(size_t available, const ZipDataFacts& facts, ZipOutputFile& out,
                     uint64_t& produced, uint32_t& crc, bool& ended);

    std::unique_ptr<unsigned char[]> readBuffer_;
    std::unique_ptr<unsigned char[]> outputBuffer_;
    z_stream stream_{};
    bool streamReady_ = false;
};
