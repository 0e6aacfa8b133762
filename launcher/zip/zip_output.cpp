#include "launcher/zip/zip_output.h"
#include "system/atomic_replace.h"
#include "system/file_io.h"

#include "launcher/zip/zip_entry.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file layer's temporary name, so a clean-up after a crash knows it for ours.
std::string NextTempName() {
    return platform::TemporarySiblingName("unzip");
}

// An unnamed file gets its name with linkat(AT_EMPTY_PATH) where the kernel lets this process
// do that, else through its /proc link; without /proc unnamed files are not used at all.
enum class LinkWay { Unknown, EmptyPath, Proc };
std::atomic<LinkWay> HowToLink{LinkWay::Unknown};

bool CanNameUnnamedFiles() {
    static const bool available = access("/proc/self/fd", X_OK) == 0;
    return available;
}

bool LinkUnnamed(int fd, int dirFd, const std::string& name) {
    if (HowToLink != LinkWay::Proc) {
        if (linkat(fd, "", dirFd, name.c_str(), AT_EMPTY_PATH) == 0) {
            HowToLink = LinkWay::EmptyPath;
            return true;
        }
        if (HowToLink == LinkWay::EmptyPath || (errno != EPERM && errno != ENOENT))
            return false;
        HowToLink = LinkWay::Proc; // needs a privilege this process lacks
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return linkat(AT_FDCWD, self.c_str(), dirFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

} // namespace

ZipOutputFile::~ZipOutputFile() {
    Discard();
}

void ZipOutputFile::Discard() {
    fd_.reset();
    if (!tempName_.empty())
        unlinkat(dirFd_, tempName_.c_str(), 0);
    tempName_.clear();
}

bool ZipOutputFile::Create(int dirFd, mode_t mode) {
    Discard();
    dirFd_ = dirFd;
    unnamed_ = false;
    if (CanNameUnnamedFiles()) {
        fd_.reset(openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
        if (fd_) {
            unnamed_ = true;
            return true;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return false;
    }
    return CreateNamed(mode);
}

bool ZipOutputFile::CreateNamed(mode_t mode) {
    // O_EXCL: never reuse a name that exists, whatever it is (an entry may be named like ours).
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = NextTempName();
        fd_.reset(openat(dirFd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                         mode));
        if (fd_) {
            tempName_ = std::move(name);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool ZipOutputFile::LinkTemporaryName() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = NextTempName();
        if (LinkUnnamed(fd_.get(), dirFd_, name)) {
            tempName_ = std::move(name);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool ZipOutputFile::Write(const unsigned char* data, size_t size) {
    return platform::WriteAll(fd_.get(), data, size);
}

uint32_t ZipOutputFile::Commit(const std::string& name, const timespec times[2]) {
    // Times that cannot be set are not worth losing the data for.
    if (times[0].tv_nsec != UTIME_OMIT || times[1].tv_nsec != UTIME_OMIT)
        futimens(fd_.get(), times);
    if (unnamed_) {
        if (LinkUnnamed(fd_.get(), dirFd_, name)) {
            if (!fd_.Close()) {
                unlinkat(dirFd_, name.c_str(), 0);
                return ZipErrWrite;
            }
            return ZipOk;
        }
        // Something has the name already: link under a temporary name and rename over it.
        if (errno != EEXIST || !LinkTemporaryName()) {
            Discard();
            return ZipErrOpen;
        }
    }
    if (!fd_.Close()) {
        Discard();
        return ZipErrWrite;
    }
    if (renameat(dirFd_, tempName_.c_str(), dirFd_, name.c_str()) != 0) {
        Discard();
        return ZipErrOpen;
    }
    tempName_.clear();
    return ZipOk;
}
