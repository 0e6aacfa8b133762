#include "part_file.h"

#include "system/file_io.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace net {

namespace {

std::string ErrorText(const char* what, const std::filesystem::path& path) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

bool SyncDirectoryOf(const std::filesystem::path& file) {
    const std::filesystem::path parent = file.has_parent_path() ? file.parent_path() : ".";
    const int dir = open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return false;
    const bool synced = fsync(dir) == 0;
    close(dir);
    return synced;
}

} // namespace

bool IsReplaceableDestination(const std::filesystem::path& destination, std::string* detail) {
    struct stat status {};
    if (lstat(destination.c_str(), &status) != 0) {
        if (errno == ENOENT)
            return true;
        *detail = ErrorText("cannot inspect", destination);
        return false;
    }
    if (S_ISREG(status.st_mode))
        return true;
    *detail = "not a regular file: " + destination.string();
    return false;
}

PartFile::~PartFile() {
    Close();
}

bool PartFile::Open(const std::filesystem::path& path, bool keep, std::string* detail) {
    Close();
    // Non-blocking so that a FIFO planted at the name cannot hold the open.
    const int fd =
        open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        *detail = ErrorText("cannot open", path);
        return false;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_nlink != 1) {
        *detail = "not a regular file of its own: " + path.string();
        close(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    size_ = static_cast<std::uint64_t>(status.st_size);
    if (!keep && !Truncate(0)) {
        *detail = ErrorText("cannot empty", path);
        Close();
        return false;
    }
    return true;
}

bool PartFile::Truncate(std::uint64_t size) {
    if (ftruncate(fd_, static_cast<off_t>(size)) != 0)
        return false;
    size_ = size;
    return true;
}

bool PartFile::WriteAt(const void* data, std::size_t size, std::uint64_t offset) {
    return platform::WriteAllAt(fd_, data, size, offset);
}

bool PartFile::CommitTo(const std::filesystem::path& destination, std::string* detail) {
    if (fsync(fd_) != 0) {
        *detail = ErrorText("cannot flush", path_);
        return false;
    }
    if (rename(path_.c_str(), destination.c_str()) != 0) {
        *detail = ErrorText("cannot rename over", destination);
        return false;
    }
    Close();
    // The rename is done; a directory that cannot be flushed only weakens crash safety.
    SyncDirectoryOf(destination);
    return true;
}

void PartFile::Remove() {
    if (fd_ >= 0)
        unlink(path_.c_str());
    Close();
}

void PartFile::Close() {
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

} // namespace net
