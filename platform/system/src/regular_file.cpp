#include "system/regular_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "system/file_io.h"

namespace platform {

namespace {

bool IsLinkError(int error) {
    // open(O_NOFOLLOW) says ELOOP for a link, EMLINK on some BSD-derived systems.
    return error == ELOOP || error == EMLINK;
}

// Errors that already say the name is no regular file: a directory opened for writing, a FIFO
// without a reader or a device without its driver.
bool IsKindError(int error) {
    return IsLinkError(error) || error == EISDIR || error == ENXIO || error == ENODEV;
}

bool ClearNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

} // namespace

const char* DescribeFileProblem(FileProblem problem) {
    switch (problem) {
    case FileProblem::None:
        return "read";
    case FileProblem::Missing:
        return "missing";
    case FileProblem::NotRegular:
        return "not a regular file";
    case FileProblem::TooLarge:
        return "too large";
    case FileProblem::Failed:
        break;
    }
    return "unreadable";
}

OpenedFile OpenRegular(const std::filesystem::path& path, int access, mode_t mode) {
    OpenedFile file;
    if (path.empty()) {
        file.problem = FileProblem::Missing;
        return file;
    }
    UniqueFd fd(open(path.c_str(), access | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode));
    if (!fd) {
        const int error = errno;
        file.problem = error == ENOENT      ? FileProblem::Missing
                       : IsKindError(error) ? FileProblem::NotRegular
                                            : FileProblem::Failed;
        return file;
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0)
        return file;
    if (!S_ISREG(info.st_mode)) {
        file.problem = FileProblem::NotRegular;
        return file;
    }
    if (!ClearNonBlocking(fd.get()))
        return file;
    file.fd = std::move(fd);
    file.size = static_cast<uint64_t>(info.st_size);
    file.problem = FileProblem::None;
    return file;
}

OpenedFile OpenRegularForUpdate(const std::filesystem::path& path) {
    return OpenRegular(path, O_RDWR | O_NOFOLLOW);
}

FileBytes OpenRegularForRead(const std::filesystem::path& path, uint64_t maxBytes) {
    FileBytes result;
    OpenedFile file = OpenRegular(path, O_RDONLY);
    if (!file.fd) {
        result.problem = file.problem;
        return result;
    }
    if (file.size > maxBytes) {
        result.problem = FileProblem::TooLarge;
        return result;
    }
    std::optional<std::string> bytes = ReadToEnd(file.fd.get(), maxBytes);
    if (!bytes)
        return result;
    if (bytes->size() > maxBytes) {
        result.problem = FileProblem::TooLarge;
        return result;
    }
    result.bytes = std::move(*bytes);
    result.problem = FileProblem::None;
    return result;
}

UniqueFd CreateTruncatedReplacingLink(const std::filesystem::path& path, mode_t mode) {
    constexpr int kFlags = O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    UniqueFd fd(open(path.c_str(), kFlags, mode));
    if (!fd && IsLinkError(errno)) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode) || unlink(path.c_str()) != 0)
            return {};
        // O_EXCL: if another link appears in between, fail instead of following it.
        fd.reset(open(path.c_str(), kFlags | O_EXCL, mode));
    }
    struct stat info {};
    if (!fd || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        !ClearNonBlocking(fd.get()) || ftruncate(fd.get(), 0) != 0)
        return {};
    return fd;
}

} // namespace platform
