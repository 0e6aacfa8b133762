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

// Directories held open at once; more make Commit run early, so a package spread over many
// directories stays well inside the descriptor limit.
constexpr size_t kMaxOpenDirectories = 128;

void LogFailedCopy(const std::string& source, const std::string& destination) {
    LOG_ERROR(L"%s(%d): Failed to copy the file '%s' to '%s'", wxString::FromUTF8(source),
              wxString::FromUTF8(destination));
}

} // namespace

bool CopyFileBytes(int in, int out) {
    constexpr size_t kChunk = size_t{1} << 30;
    for (bool first = true;; first = false) {
        const ssize_t moved = copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
        if (moved > 0)
            continue;
        if (moved == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (first && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP))
            return platform::CopyToEnd(in, out);
        return false;
    }
}

StagedInstall::~StagedInstall() {
    Discard();
}

std::optional<uint32_t> StagedInstall::DirectoryIndex(const std::string& path) {
    for (size_t i = dirs_.size(); i-- > 0;) {
        if (dirs_[i].path == path)
            return static_cast<uint32_t>(i);
    }
    if (dirs_.size() >= kMaxOpenDirectories && !Commit())
        return std::nullopt;
    // An installed directory may be the player's link (to another disk, say): followed.
    Directory dir;
    dir.fd.reset(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    if (!dir.fd || fstat(dir.fd.get(), &info) != 0)
        return std::nullopt;
    dir.path = path;
    dir.device = info.st_dev;
    dirs_.push_back(std::move(dir));
    return static_cast<uint32_t>(dirs_.size() - 1);
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
    const int dirFd = dirs_[*dir].fd.get();
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
                         CopyFileBytes(in.get(), out.get()) && out.Close();
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
        unlinkat(dir.fd.get(), entry.temp.c_str(), 0);
}

bool StagedInstall::Commit() {
    // One sync per file system makes every staged byte durable before any name points at it.
    std::vector<dev_t> synced;
    for (const Directory& dir : dirs_) {
        if (std::find(synced.begin(), synced.end(), dir.device) != synced.end())
            continue;
        if (syncfs(dir.fd.get()) != 0) {
            LOG_ERROR(L"%s(%d): the files staged in %s could not be made durable, nothing of "
                      L"them is installed",
                      wxString::FromUTF8(dir.path));
            Discard();
            return false;
        }
        synced.push_back(dir.device);
    }
    bool ok = true;
    size_t next = 0;
    for (; next < entries_.size() && ok; ++next) {
        const Entry& entry = entries_[next];
        Directory& dir = dirs_[entry.dir];
        if (renameat(dir.fd.get(), entry.temp.c_str(), dir.fd.get(), entry.target.c_str()) == 0) {
            dir.touched = true;
            continue;
        }
        if (!entry.isDirectory)
            LogFailedCopy(entry.source, dir.path + "/" + entry.target);
        Remove(entry);
        ok = entry.mayFail;
    }
    for (; next < entries_.size(); ++next)
        Remove(entries_[next]);
    entries_.clear();
    for (const Directory& dir : dirs_) {
        if (dir.touched)
            fsync(dir.fd.get());
    }
    dirs_.clear();
    return ok;
}

void StagedInstall::Discard() {
    for (const Entry& entry : entries_)
        Remove(entry);
    entries_.clear();
    dirs_.clear();
}
