#include "launcher/zip/zip_data.h"

#include "launcher/zip/zip_entry.h"

#include <algorithm>

namespace {

// Larger chunks than minizip's 16 KiB: each one costs a read or a write system call.
constexpr size_t kReadChunk = 64 * 1024;
constexpr size_t kOutputChunk = 64 * 1024;

uint32_t Crc(uint32_t crc, const unsigned char* data, size_t size) {
    return static_cast<uint32_t>(crc32_z(crc, data, size));
}

} // namespace

ZipDataCopier::ZipDataCopier()
    : readBuffer_(new unsigned char[kReadChunk]), outputBuffer_(new unsigned char[kOutputChunk]) {}

ZipDataCopier::~ZipDataCopier() {
    if (streamReady_)
        inflateEnd(&stream_);
}

uint32_t ZipDataCopier::Copy(ZipSourceFile& archive, uint64_t archiveSize,
                             const ZipDataFacts& facts, ZipOutputFile& out) {
    if (facts.dataOffset > archiveSize || facts.packedSize > archiveSize - facts.dataOffset)
        return ZipErrData;
    return facts.method == kZipMethodStored ? CopyStored(archive, facts, out)
                                            : CopyDeflated(archive, facts, out);
}

uint32_t ZipDataCopier::CopyStored(ZipSourceFile& archive, const ZipDataFacts& facts,
                                   ZipOutputFile& out) {
    uint32_t crc = Crc(0, nullptr, 0);
    for (uint64_t done = 0; done < facts.packedSize;) {
        const size_t n =
            static_cast<size_t>(std::min<uint64_t>(kReadChunk, facts.packedSize - done));
        if (!ReadZipSource(archive, readBuffer_.get(), n, facts.dataOffset + done))
            return ZipErrData;
        if (!out.Write(readBuffer_.get(), n))
            return ZipErrWrite;
        crc = Crc(crc, readBuffer_.get(), n);
        done += n;
    }
    return facts.packedSize == facts.size && crc == facts.crc ? ZipOk : ZipErrData;
}

uint32_t ZipDataCopier::CopyDeflated(ZipSourceFile& archive, const ZipDataFacts& facts,
                                     ZipOutputFile& out) {
    if (!streamReady_) {
        if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK)
            return ZipErrData;
        streamReady_ = true;
    } else if (inflateReset(&stream_) != Z_OK) {
        return ZipErrData;
    }
    uint64_t produced = 0;
    uint32_t crc = Crc(0, nullptr, 0);
    bool ended = false;
    for (uint64_t done = 0; done < facts.packedSize && !ended;) {
        const size_t n =
            static_cast<size_t>(std::min<uint64_t>(kReadChunk, facts.packedSize - done));
        if (!ReadZipSource(archive, readBuffer_.get(), n, facts.dataOffset + done))
            return ZipErrData;
        done += n;
        if (const uint32_t code = Inflate(n, facts, out, produced, crc, ended))
            return code;
    }
    // A stream that stops early, data that runs short, or a CRC of other bytes.
    if (!ended || produced != facts.size || crc != facts.crc)
        return ZipErrData;
    return ZipOk;
}

uint32_t ZipDataCopier::Inflate(size_t available, const ZipDataFacts& facts, ZipOutputFile& out,
                                uint64_t& produced, uint32_t& crc, bool& ended) {
    stream_.next_in = readBuffer_.get();
    stream_.avail_in = static_cast<uInt>(available);
    do {
        stream_.next_out = outputBuffer_.get();
        stream_.avail_out = static_cast<uInt>(kOutputChunk);
        const int result = inflate(&stream_, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
            return ZipErrData;
        const size_t n = kOutputChunk - stream_.avail_out;
        // More data than declared is refused before it is written: the size bounds the output.
        if (n > facts.size - produced)
            return ZipErrData;
        if (n > 0) {
            if (!out.Write(outputBuffer_.get(), n))
                return ZipErrWrite;
            crc = Crc(crc, outputBuffer_.get(), n);
            produced += n;
        }
        if (result == Z_STREAM_END) {
            ended = true; // packed bytes after the stream's end are ignored, as other tools do
            return ZipOk;
        }
        if (result == Z_BUF_ERROR && n == 0)
            return ZipOk; // needs more input
    } while (stream_.avail_in > 0 || stream_.avail_out == 0);
    return ZipOk;
}
