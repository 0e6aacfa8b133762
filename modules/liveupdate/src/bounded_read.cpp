#include "bounded_read.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "system/file_io.h"

namespace liveupdate {

std::optional<std::string> ReadBoundedFile(const std::filesystem::path& path,
                                           std::uint64_t maxBytes, std::string& why) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = path.string() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::optional<std::string> bytes;
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        why = path.string() + " is not a regular file";
    else if (static_cast<std::uint64_t>(status.st_size) > maxBytes)
        why = path.string() + " is larger than " + std::to_string(maxBytes) + " bytes";
    else {
        std::string buffer(static_cast<size_t>(status.st_size), '\0');
        const std::optional<size_t> read = platform::ReadAt(fd, buffer.data(), buffer.size(), 0);
        if (read && *read == buffer.size())
            bytes = std::move(buffer);
        else
            why = path.string() + " cannot be read";
    }
    close(fd);
    return bytes;
}

} // namespace liveupdate
