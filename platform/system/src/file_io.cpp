#include "system/file_io.h"

#include <cerrno>
#include <unistd.h>

namespace platform {

bool WriteAll(int fd, const void* data, size_t size) {
    const auto* in = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = write(fd, in, size);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        in += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

bool WriteAllAt(int fd, const void* data, size_t size, uint64_t offset) {
    const auto* in = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = pwrite(fd, in, size, static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        in += put;
        size -= static_cast<size_t>(put);
        offset += static_cast<uint64_t>(put);
    }
    return true;
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

std::optional<std::string> ReadToEnd(int fd) {
    std::string bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return bytes;
        bytes.append(chunk, static_cast<size_t>(got));
    }
}

} // namespace platform
