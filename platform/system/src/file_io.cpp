#include "system/file_io.h"

#include <algorithm>
#include <cerrno>
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

} // namespace platform
