#include "part_file.h"

#include "system/atomic_replace.h"
#include "system/file_io.h"
#include "system/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace net {

namespace {

constexpr std::uint64_t kWritebackBytes = 8u << 20;

std::string ErrorText(const char* what, const std::filesystem::path& path) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

} // namespace

bool IsReplaceableDestination(const std::filesystem::path& destination, std::string* detail) {
    const platform::OpenedFile file = platform::OpenRegular(destination, O_RDONLY | O_NOFOLLOW);
    if (file.problem == platform::FileProblem::None ||
        file.problem == platform::FileProblem::Missing)
        return true;
    if (file.problem == platform::FileProblem::NotRegular)
        *detail = "not a regular file: " + destination.string();
    else
        *detail = ErrorText("cannot inspect", destination);
    return false;
}

bool PartFile::Open(const std::filesystem::path& path, bool keep, std::string* detail) {
    fd_.reset();
    path_.clear();
    platform::OpenedFile file = platform::OpenRegular(path, O_WRONLY | O_CREAT | O_NOFOLLOW, 0644);
    if (file.problem == platform::FileProblem::NotRegular) {
        *detail = "not a regular file of its own: " + path.string();
        return false;
    }
    if (!file.fd) {
        *detail = ErrorText("cannot open", path);
        return false;
    }
    // A second name would let the body be written into a file elsewhere.
    struct stat status {};
    if (fstat(file.fd.get(), &status) != 0 || status.st_nlink != 1) {
        *detail = "not a regular file of its own: " + path.string();
        return false;
    }
    fd_ = std::move(file.fd);
    path_ = path;
    size_ = file.size;
    writebackFrom_ = size_;
    if (!keep && !Truncate(0)) {
        *detail = ErrorText("cannot empty", path);
        fd_.reset();
        return false;
    }
    return true;
}

bool PartFile::Truncate(std::uint64_t size) {
    if (ftruncate(fd_.get(), static_cast<off_t>(size)) != 0)
        return false;
    size_ = size;
    writebackFrom_ = std::min(writebackFrom_, size);
    return true;
}

bool PartFile::WriteAt(const void* data, std::size_t size, std::uint64_t offset) {
    if (!platform::WriteAllAt(fd_.get(), data, size, offset))
        return false;
    const std::uint64_t end = offset + size;
    if (end - writebackFrom_ >= kWritebackBytes) {
        // Only a start: its failure shows at the commit's flush.
        sync_file_range(fd_.get(), static_cast<off_t>(writebackFrom_),
                        static_cast<off_t>(end - writebackFrom_), SYNC_FILE_RANGE_WRITE);
        writebackFrom_ = end;
    }
    return true;
}

bool PartFile::CommitTo(const std::filesystem::path& destination, std::string* detail) {
    if (platform::CommitFileInto(fd_, path_, destination)) {
        path_.clear();
        return true;
    }
    *detail = ErrorText(("cannot move " + path_.string() + " over").c_str(), destination);
    return false;
}

void PartFile::Remove() {
    if (!path_.empty())
        unlink(path_.c_str());
    path_.clear();
    fd_.reset();
}

} // namespace net
