#include "launcher/zip/zip_source.h"
#include "launcher/zip/zip_records.h"
#include "system/file_io.h"
#include "system/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// minizip reads headers a few bytes at a time. Read-ahead windows turn those reads into one
// pread per window: one window follows the central directory, the other the local headers,
// so walking entries in order does not make the two evict each other.
constexpr size_t kWindowSize = 16 * 1024;
constexpr int kWindows = 2;
constexpr uint64_t kCentralRecordMin = 46;

struct Window {
    std::unique_ptr<unsigned char[]> bytes{new unsigned char[kWindowSize]};
    uint64_t start = 0;
    size_t length = 0;
    uint64_t lastUse = 0;

    bool Holds(uint64_t pos) const { return pos >= start && pos < start + length; }
};

} // namespace

struct ZipSourceFile {
    platform::UniqueFd fd;
    uint64_t fileSize = 0;
    uint64_t position = 0;
    Window windows[kWindows];
    uint64_t uses = 0;
    bool failed = false;
};

namespace {

// Reads up to `size` bytes at `offset`; fewer only at the end of the file or on an error.
size_t ReadAt(ZipSourceFile& source, unsigned char* out, size_t size, uint64_t offset) {
    const std::optional<size_t> got = platform::ReadAt(source.fd.get(), out, size, offset);
    if (!got)
        source.failed = true;
    return got.value_or(0);
}

voidpf ZCALLBACK OpenSource(voidpf, const void* source, int) {
    // unzOpen2_64 hands us back the source we gave it as its "path".
    return const_cast<void*>(source);
}

uLong ZCALLBACK ReadSource(voidpf, voidpf stream, void* buffer, uLong size) {
    auto& source = *static_cast<ZipSourceFile*>(stream);
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < size) {
        const uint64_t pos = source.position;
        Window* window = nullptr;
        for (Window& candidate : source.windows) {
            if (candidate.Holds(pos))
                window = &candidate;
        }
        if (window == nullptr) {
            if (size - done >= kWindowSize) {
                const size_t got = ReadAt(source, out + done, size - done, pos);
                done += got;
                source.position += got;
                break;
            }
            window = &*std::min_element(
                std::begin(source.windows), std::end(source.windows),
                [](const Window& a, const Window& b) { return a.lastUse < b.lastUse; });
            window->start = pos;
            window->length = ReadAt(source, window->bytes.get(), kWindowSize, pos);
            if (window->length == 0)
                break;
        }
        window->lastUse = ++source.uses;
        const size_t offset = static_cast<size_t>(pos - window->start);
        const size_t n = std::min<size_t>(size - done, window->length - offset);
        std::memcpy(out + done, window->bytes.get() + offset, n);
        done += n;
        source.position += n;
    }
    return static_cast<uLong>(done);
}

uLong ZCALLBACK WriteSource(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T ZCALLBACK TellSource(voidpf, voidpf stream) {
    return static_cast<ZipSourceFile*>(stream)->position;
}

long ZCALLBACK SeekSource(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto& source = *static_cast<ZipSourceFile*>(stream);
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        source.position = offset;
        return 0;
    case ZLIB_FILEFUNC_SEEK_CUR:
        source.position += offset;
        return 0;
    case ZLIB_FILEFUNC_SEEK_END:
        source.position = source.fileSize + offset;
        return 0;
    default:
        return -1;
    }
}

int ZCALLBACK CloseSource(voidpf, voidpf stream) {
    auto* source = static_cast<ZipSourceFile*>(stream);
    const bool closed = source->fd.Close();
    delete source;
    return closed ? 0 : -1;
}

int ZCALLBACK SourceError(voidpf, voidpf stream) {
    return static_cast<ZipSourceFile*>(stream)->failed ? 1 : 0;
}

// minizip takes an end record at offset 0 for "not found", so an archive without entries,
// which is nothing but that record, is recognised here.
bool IsEmptyArchive(int fd, uint64_t size) {
    constexpr size_t kEndRecord = 22;
    if (size < kEndRecord || size > kEndRecord + 0xFFFF)
        return false;
    unsigned char record[kEndRecord];
    if (pread(fd, record, kEndRecord, 0) != static_cast<ssize_t>(kEndRecord))
        return false;
    static constexpr unsigned char kExpected[20] = {'P', 'K', 5, 6};
    return std::memcmp(record, kExpected, sizeof kExpected) == 0 &&
           record[20] + (record[21] << 8) == static_cast<int>(size - kEndRecord);
}

// The bytes in front of the archive, found as minizip finds its directory: the last end record
// in the file's tail, or the Zip64 end record its locator names. The directory ends where that
// record starts.
uint64_t ArchivePrefix(ZipSourceFile& source) {
    constexpr size_t kEndRecord = 22;
    constexpr size_t kLocator = 20;
    constexpr size_t kZip64End = 56;
    const size_t tail =
        static_cast<size_t>(std::min<uint64_t>(source.fileSize, 0xFFFF + kEndRecord));
    std::vector<unsigned char> bytes(tail);
    const uint64_t tailStart = source.fileSize - tail;
    if (tail < kEndRecord || ReadAt(source, bytes.data(), tail, tailStart) != tail)
        return 0;
    size_t end = tail - kEndRecord + 1;
    do {
        --end;
    } while (end > 0 && ZipLe32(&bytes[end]) != 0x06054b50);
    if (ZipLe32(&bytes[end]) != 0x06054b50)
        return 0;
    uint64_t directoryEnd = uint64_t{ZipLe32(&bytes[end + 12])} + ZipLe32(&bytes[end + 16]);
    uint64_t directoryRecord = tailStart + end;
    if (end >= kLocator && ZipLe32(&bytes[end - kLocator]) == 0x07064b50) {
        const uint64_t at = ZipLe64(&bytes[end - kLocator + 8]);
        unsigned char record[kZip64End];
        if (source.fileSize >= kZip64End && at <= source.fileSize - kZip64End &&
            ReadAt(source, record, kZip64End, at) == kZip64End && ZipLe32(record) == 0x06064b50) {
            directoryEnd = ZipLe64(record + 40) + ZipLe64(record + 48);
            directoryRecord = at;
        }
    }
    return directoryRecord >= directoryEnd ? directoryRecord - directoryEnd : 0;
}

} // namespace

ZipSource OpenZipSource(const std::filesystem::path& path) {
    platform::OpenedFile file = platform::OpenRegular(path, O_RDONLY);
    if (!file.fd)
        return {};
    const uint64_t size = file.size;
    if (IsEmptyArchive(file.fd.get(), size))
        return {.opened = true, .archive = nullptr};
    auto* source = new ZipSourceFile;
    source->fd = std::move(file.fd);
    source->fileSize = size;

    zlib_filefunc64_def functions{};
    functions.zopen64_file = OpenSource;
    functions.zread_file = ReadSource;
    functions.zwrite_file = WriteSource;
    functions.ztell64_file = TellSource;
    functions.zseek64_file = SeekSource;
    functions.zclose_file = CloseSource;
    functions.zerror_file = SourceError;
    // From here minizip owns the source: it closes it itself when the archive is refused.
    unzFile archive = unzOpen2_64(source, &functions);
    if (archive == nullptr)
        return {};

    // Every entry needs a central record of at least 46 bytes: a larger count is a lie that
    // would only make callers walk a directory that is not there.
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(archive, &global) != UNZ_OK || global.number_entry > INT32_MAX - 1 ||
        global.number_entry * kCentralRecordMin > size) {
        unzClose(archive);
        return {};
    }
    return {.opened = true,
            .archive = archive,
            .file = source,
            .size = size,
            .prefix = ArchivePrefix(*source),
            .entryCount = static_cast<int32_t>(global.number_entry)};
}

bool ReadZipSource(ZipSourceFile& file, unsigned char* out, size_t size, uint64_t offset) {
    // An empty field (a record without a name or extra block) may come with no buffer at all.
    if (size == 0)
        return true;
    for (const Window& window : file.windows) {
        if (window.Holds(offset) && size <= window.start + window.length - offset) {
            std::memcpy(out, window.bytes.get() + (offset - window.start), size);
            return true;
        }
    }
    // Headers are read through a window, so the small entry's data behind them comes with them.
    if (size < kWindowSize) {
        file.position = offset;
        return ReadSource(nullptr, &file, out, static_cast<uLong>(size)) == size;
    }
    return ReadAt(file, out, size, offset) == size;
}
