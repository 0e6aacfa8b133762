#include "launcher/update/copy_path_staging.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "launcher/log.h"
#include "system/atomic_replace.h"
#include "system/file_io.h"
#include "system/file_operations.h"

namespace {

// Directories held open at once; beyond that the open ones are closed and opened again by path
// when needed, so a package spread over many directories stays well inside the descriptor limit
// without putting anything in place early.
constexpr size_t kMaxOpenDirectories = 128;

void LogFailedCopy(const std::string& source, const std::string& destination) {
    LOG_ERROR(L": Failed to copy the file '%s' to '%s'", wxString::FromUTF8(source),
              wxString::FromUTF8(destination));
}

} // namespace

StagedInstall::~StagedInstall() {
    Discard();
}

std::optional<uint32_t> StagedInstall::DirectoryIndex(const std::string& path) {
    if (const auto known = known_.find(path); known != known_.end())
        return DirectoryFd(known->second) >= 0 ? std::optional(known->second) : std::nullopt;
    Directory dir;
    dir.path = path;
    dirs_.push_back(std::move(dir));
    const auto index = static_cast<uint32_t>(dirs_.size() - 1);
    struct stat info {};
    const int fd = DirectoryFd(index);
    if (fd < 0 || fstat(fd, &info) != 0) {
        dirs_.pop_back();
        return std::nullopt;
    }
    dirs_[index].device = info.st_dev;
    known_.emplace(path, index);
    return index;
}

int StagedInstall::DirectoryFd(uint32_t index) {
    Directory& dir = dirs_[index];
    if (dir.fd)
        return dir.fd.get();
    if (open_ >= kMaxOpenDirectories) {
        for (Directory& other : dirs_)
            other.fd.reset();
        open_ = 0;
    }
    // An installed directory may be the player's link (to another disk, say): followed.
    dir.fd.reset(open(dir.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.fd)
        return -1;
    ++open_;
    return dir.fd.get();
}

bool StagedInstall::StageFile(int srcDir, const char* name, const std::string& sourcePath,
                              const std::string& dstDir, const std::string& dstName, bool mayFail) {
    const auto fail = [&] {
        LogFailedCopy(sourcePath, dstDir + "/" + dstName);
        return mayFail;
    };
    const std::optional<uint32_t> dir = DirectoryIndex(dstDir);
    if (!dir)
        return fail();
    platform::UniqueFd in(openat(srcDir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!in || fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return fail();
    const int dirFd = DirectoryFd(*dir);
    Entry entry{*dir, false, mayFail, {}, dstName, sourcePath};
    platform::UniqueFd out;
    for (int attempt = 0; attempt < 16 && !out; ++attempt) {
        entry.temp = platform::TemporarySiblingName(dstName);
        // O_EXCL and O_NOFOLLOW: never reuse or write through anything already there.
        out.reset(openat(dirFd, entry.temp.c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out && errno != EEXIST)
            break;
    }
    if (!out)
        return fail();
    const bool written = fchmod(out.get(), info.st_mode & 0777) == 0 &&
                         platform::CopyFileData(in.get(), out.get()) && out.Close();
    entries_.push_back(std::move(entry));
    if (!written) {
        Remove(entries_.back());
        entries_.pop_back();
        return fail();
    }
    return true;
}

bool StagedInstall::StageDirectory(const std::string& dstDir, const std::string& tempName,
                                   const std::string& dstName) {
    const std::optional<uint32_t> dir = DirectoryIndex(dstDir);
    if (!dir) {
        platform::DeleteTree(dstDir + "/" + tempName);
        return false;
    }
    entries_.push_back(Entry{*dir, true, false, tempName, dstName, {}});
    return true;
}

void StagedInstall::Remove(const Entry& entry) {
    const Directory& dir = dirs_[entry.dir];
    if (entry.isDirectory)
        platform::DeleteTree(dir.path + "/" + entry.temp);
    else
        unlinkat(DirectoryFd(entry.dir), entry.temp.c_str(), 0);
}

bool StagedInstall::SyncFileSystems() {
    std::vector<dev_t> synced;
    for (uint32_t i = 0; i < dirs_.size(); ++i) {
        const Directory& dir = dirs_[i];
        if (std::find(synced.begin(), synced.end(), dir.device) != synced.end())
            continue;
        const int fd = DirectoryFd(i);
        if (fd < 0 || syncfs(fd) != 0) {
            LOG_ERROR(L": the files staged in %s could not be made durable",
                      wxString::FromUTF8(dir.path));
            return false;
        }
        synced.push_back(dir.device);
    }
    return true;
}

bool StagedInstall::Commit() {
    // Every staged byte is durable before any name points at it.
    if (!SyncFileSystems()) {
        Discard();
        return false;
    }
    bool ok = true;
    bool renamed = false;
    size_t next = 0;
    for (; next < entries_.size() && ok; ++next) {
        const Entry& entry = entries_[next];
        const int dirFd = DirectoryFd(entry.dir);
        if (dirFd >= 0 && renameat(dirFd, entry.temp.c_str(), dirFd, entry.target.c_str()) == 0) {
            renamed = true;
            continue;
        }
        if (!entry.isDirectory)
            LogFailedCopy(entry.source, dirs_[entry.dir].path + "/" + entry.target);
        Remove(entry);
        ok = entry.mayFail;
    }
    for (; next < entries_.size(); ++next)
        Remove(entries_[next]);
    entries_.clear();
    // The new names, durable before the caller records the version they make. A failure here
    // leaves each file old or new after a power loss, as before the commit.
    if (renamed && !SyncFileSystems())
        ok = false;
    dirs_.clear();
    known_.clear();
    open_ = 0;
    return ok;
}

void StagedInstall::Discard() {
    for (const Entry& entry : entries_)
        Remove(entry);
    entries_.clear();
    dirs_.clear();
    known_.clear();
    open_ = 0;
}
