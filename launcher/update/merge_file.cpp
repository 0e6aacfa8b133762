#include "launcher/update/merge_file.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "system/file_io.h"
#include "system/path.h"

MergeFile::~MergeFile() {
    if (fd_ >= 0)
        close(fd_);
}

bool MergeFile::Open(const wxString& path, bool writable) {
    const auto fsPath = platform::ToPath(path.ToStdWstring());
    if (!fsPath)
        return false;
    // O_NONBLOCK keeps a pipe planted under an index's name from blocking the open; it has no
    // effect on regular files, and anything else is refused below.
    const int flags = (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
    const int fd = open(fsPath->c_str(), flags);
    if (fd < 0)
        return false;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return false;
    }
    if (fd_ >= 0)
        close(fd_);
    fd_ = fd;
    return true;
}

std::optional<uint64_t> MergeFile::Length() const {
    struct stat info {};
    if (fd_ < 0 || fstat(fd_, &info) != 0 || info.st_size < 0)
        return std::nullopt;
    return static_cast<uint64_t>(info.st_size);
}

bool MergeFile::ReadAt(void* buffer, size_t size, uint64_t position) const {
    return platform::ReadExactlyAt(fd_, buffer, size, position);
}

bool MergeFile::WriteAt(const void* data, size_t size, uint64_t position) {
    return platform::WriteAllAt(fd_, data, size, position);
}

bool IsRegularFile(const wxString& path) {
    const auto fsPath = platform::ToPath(path.ToStdWstring());
    std::error_code error;
    return fsPath && std::filesystem::is_regular_file(*fsPath, error);
}

bool CopyFileOver(const wxString& from, const wxString& to) {
    const auto fromPath = platform::ToPath(from.ToStdWstring());
    const auto toPath = platform::ToPath(to.ToStdWstring());
    if (!fromPath || !toPath || !IsRegularFile(from))
        return false;
    std::error_code error;
    return std::filesystem::copy_file(*fromPath, *toPath,
                                      std::filesystem::copy_options::overwrite_existing, error) &&
           !error;
}
