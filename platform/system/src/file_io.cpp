#include "system/file_io.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Moves every byte through put(data, size, done), which returns what one system call moved.
template <typename Put> bool PutAll(const void* data, size_t size, Put put) {
    const auto* in = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t moved = put(in + done, size - done, done);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved <= 0)
            return false;
        done += static_cast<size_t>(moved);
    }
    return true;
}

// Copies the bytes [from, end) of in to the same place in out: in the kernel where it can, else
// through a buffer (another file system on older kernels, a file system without support).
bool CopyRange(int in, int out, uint64_t from, uint64_t end) {
    auto inAt = static_cast<off_t>(from);
    auto outAt = static_cast<off_t>(from);
    bool inKernel = true;
    char chunk[65536];
    while (static_cast<uint64_t>(inAt) < end) {
        const uint64_t left = end - static_cast<uint64_t>(inAt);
        if (inKernel) {
            const ssize_t moved = copy_file_range(
                in, &inAt, out, &outAt, static_cast<size_t>(std::min<uint64_t>(left, 1u << 30)), 0);
            if (moved > 0)
                continue;
            if (moved == 0)
                return false; // the file shrank under us
            if (errno == EINTR)
                continue;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
                return false;
            inKernel = false;
        }
        const std::optional<size_t> got =
            ReadAt(in, chunk, static_cast<size_t>(std::min<uint64_t>(left, sizeof chunk)),
                   static_cast<uint64_t>(inAt));
        if (!got || *got == 0 || !WriteAllAt(out, chunk, *got, static_cast<uint64_t>(outAt)))
            return false;
        inAt += static_cast<off_t>(*got);
        outAt += static_cast<off_t>(*got);
    }
    return true;
}

} // namespace

bool WriteAll(int fd, const void* data, size_t size) {
    return PutAll(data, size,
                  [fd](const char* in, size_t left, size_t) { return write(fd, in, left); });
}

bool WriteAllAt(int fd, const void* data, size_t size, uint64_t offset) {
    return PutAll(data, size, [fd, offset](const char* in, size_t left, size_t done) {
        return pwrite(fd, in, left, static_cast<off_t>(offset + done));
    });
}

std::optional<size_t> ReadAt(int fd, void* data, size_t size, uint64_t offset) {
    auto* out = static_cast<char*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t got = pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return done;
}

bool ReadExactlyAt(int fd, void* data, size_t size, uint64_t offset) {
    const std::optional<size_t> got = ReadAt(fd, data, size, offset);
    return got && *got == size;
}

std::optional<std::string> ReadToEnd(int fd, uint64_t limit) {
    std::string bytes;
    char chunk[65536];
    while (bytes.size() <= limit) {
        const uint64_t wanted = std::min<uint64_t>(sizeof chunk, limit + 1 - bytes.size());
        const ssize_t got = read(fd, chunk, static_cast<size_t>(wanted));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return bytes;
        bytes.append(chunk, static_cast<size_t>(got));
    }
    return bytes;
}

bool CopyToEnd(int in, int out) {
    char chunk[65536];
    for (;;) {
        const ssize_t got = read(in, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        if (!WriteAll(out, chunk, static_cast<size_t>(got)))
            return false;
    }
}

bool CopyFileData(int in, int out) {
    struct stat info {};
    if (fstat(in, &info) != 0)
        return false;
    if (!S_ISREG(info.st_mode))
        return CopyToEnd(in, out);
    const auto size = static_cast<uint64_t>(info.st_size);
    const struct timespec times[2] = {{0, UTIME_OMIT}, info.st_mtim};
    // A file with as many blocks as bytes has no holes: one stretch, no search for them.
    if (static_cast<uint64_t>(info.st_blocks) * 512 >= size)
        return CopyRange(in, out, 0, size) && futimens(out, times) == 0;
    uint64_t at = 0;
    while (at < size) {
        // The next stretch of data; a file system that cannot tell holes reports all of it.
        off_t data = lseek(in, static_cast<off_t>(at), SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            break; // only a hole is left
        off_t hole = data < 0 ? -1 : lseek(in, data, SEEK_HOLE);
        if (data < 0 || hole < 0) {
            data = static_cast<off_t>(at);
            hole = static_cast<off_t>(size);
        }
        const uint64_t end = std::min(static_cast<uint64_t>(hole), size);
        if (!CopyRange(in, out, static_cast<uint64_t>(data), end))
            return false;
        at = end;
    }
    // The length makes the trailing hole.
    return ftruncate(out, info.st_size) == 0 && futimens(out, times) == 0;
}

} // namespace platform
