#include "launcher/zip/zip_output.h"

#include "launcher/zip/zip_entry.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<unsigned> TempCounter{0};

} // namespace

ZipOutputFile::~ZipOutputFile() {
    Discard();
}

void ZipOutputFile::Discard() {
    if (fd_ >= 0)
        close(fd_);
    if (!tempName_.empty())
        unlinkat(dirFd_, tempName_.c_str(), 0);
    fd_ = -1;
    tempName_.clear();
}

bool ZipOutputFile::Create(int dirFd, mode_t mode) {
    Discard();
    dirFd_ = dirFd;
    // O_EXCL: never reuse a name that exists, whatever it is (an entry may be named like ours).
    for (int attempt = 0; attempt < 100; ++attempt) {
        static const std::string prefix = ".unzip-" + std::to_string(getpid()) + "-";
        std::string name = prefix + std::to_string(TempCounter.fetch_add(1)) + ".part";
        const int fd =
            openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) {
            fd_ = fd;
            tempName_ = std::move(name);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool ZipOutputFile::Write(const unsigned char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd_, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

uint32_t ZipOutputFile::Commit(const std::string& name, const timespec times[2]) {
    // Times that cannot be set are not worth losing the data for.
    if (times[0].tv_nsec != UTIME_OMIT || times[1].tv_nsec != UTIME_OMIT)
        futimens(fd_, times);
    const int closed = close(fd_);
    fd_ = -1;
    if (closed != 0) {
        Discard();
        return ZipErrWrite;
    }
    // rename replaces a read-only file or a symbolic link itself, never what a link points to.
    if (renameat(dirFd_, tempName_.c_str(), dirFd_, name.c_str()) != 0) {
        Discard();
        return ZipErrOpen;
    }
    tempName_.clear();
    return ZipOk;
}
