#include "launcher/update/copy_path.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "launcher/log.h"
#include "launcher/update/copy_path_staging.h"
#include "launcher/update/copy_path_tree.h"
#include "system/atomic_replace.h"
#include "system/below_root.h"
#include "system/directory_stream.h"
#include "system/file_io.h"
#include "system/file_operations.h"
#include "system/path.h"

namespace {

using platform::DirectoryStream;
using platform::UniqueFd;

bool IsDirectoryEntry(int dir, const dirent& entry) {
    if (entry.d_type != DT_UNKNOWN)
        return entry.d_type == DT_DIR;
    struct stat info {};
    return fstatat(dir, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
}

// Fills the new, empty directory dst (ours alone, under a temporary name) with src's content.
// Nothing in it needs a name of its own beside its place: the whole directory is renamed in.
bool FillNewDirectory(UniqueFd srcFd, int dst) {
    DirectoryStream src(std::move(srcFd));
    if (!src.ok())
        return false;
    while (const dirent* entry = src.Next()) {
        const char* name = entry->d_name;
        struct stat info {};
        if (fstatat(src.fd(), name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        if (S_ISDIR(info.st_mode)) {
            if (mkdirat(dst, name, 0700) != 0)
                return false;
            UniqueFd child = platform::OpenChildDirectory(dst, name, false);
            // The permissions come last: a read-only source directory must not lock out its
            // own copy.
            if (!child ||
                !FillNewDirectory(platform::OpenChildDirectory(src.fd(), name, false),
                                  child.get()) ||
                fchmod(child.get(), info.st_mode & 0777) != 0)
                return false;
            continue;
        }
        UniqueFd in(openat(src.fd(), name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat opened {};
        if (!in || fstat(in.get(), &opened) != 0 || !S_ISREG(opened.st_mode))
            return false;
        UniqueFd out(openat(dst, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out || fchmod(out.get(), opened.st_mode & 0777) != 0 ||
            !platform::CopyFileData(in.get(), out.get()) || !out.Close())
            return false;
    }
    return !src.failed();
}

// Builds the directory beside its place, under a hidden name only we write (a temporary left by
// a crash is not taken for a game file and can be recognised), and stages its rename.
bool CopyNewDirectory(UniqueFd src, const std::string& dstParent, const std::string& name,
                      StagedInstall& staged) {
    struct stat info {};
    if (!src || fstat(src.get(), &info) != 0)
        return false;
    UniqueFd parent(open(dstParent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent)
        return false;
    std::string temp;
    for (int attempt = 0; attempt < 16 && temp.empty(); ++attempt) {
        std::string candidate = platform::TemporarySiblingName(name);
        if (mkdirat(parent.get(), candidate.c_str(), 0700) == 0)
            temp = std::move(candidate);
        else if (errno != EEXIST)
            return false;
    }
    if (temp.empty())
        return false;
    UniqueFd built = platform::OpenChildDirectory(parent.get(), temp, false);
    if (!built || !FillNewDirectory(std::move(src), built.get()) ||
        fchmod(built.get(), info.st_mode & 0777) != 0) {
        platform::DeleteTree(dstParent + "/" + temp);
        return false;
    }
    return staged.StageDirectory(dstParent, temp, name);
}

// dst is an existing directory: src's files are staged beside their places in it.
bool CopyContents(UniqueFd srcFd, std::string& srcPath, std::string& dst, StagedInstall& staged) {
    DirectoryStream src(std::move(srcFd));
    if (!src.ok())
        return false;
    while (const dirent* entry = src.Next()) {
        const char* name = entry->d_name;
        const size_t srcMark = srcPath.size();
        const size_t dstMark = dst.size();
        srcPath.append("/").append(name);
        if (!IsDirectoryEntry(src.fd(), *entry)) {
            if (!staged.StageFile(src.fd(), name, srcPath, dst, name, false))
                return false;
            srcPath.resize(srcMark);
            continue;
        }
        bool copied = false;
        struct stat target {};
        dst.append("/").append(name);
        // Directories already installed may be the player's links (to another disk, say).
        if (stat(dst.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
            copied = CopyContents(platform::OpenChildDirectory(src.fd(), name, false), srcPath, dst,
                                  staged);
        } else if (lstat(dst.c_str(), &target) != 0 && errno == ENOENT) {
            dst.resize(dstMark);
            copied = CopyNewDirectory(platform::OpenChildDirectory(src.fd(), name, false), dst,
                                      name, staged);
        } // else a file where the directory goes
        if (!copied)
            return false;
        srcPath.resize(srcMark);
        dst.resize(dstMark);
    }
    return !src.failed();
}

} // namespace

bool CopyCheckedDirectory(int src, const std::string& srcPath, const std::string& dst,
                          StagedInstall& staged) {
    UniqueFd own(openat(src, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat target {};
    if (stat(dst.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
        std::string source = srcPath;
        std::string destination = dst;
        return CopyContents(std::move(own), source, destination, staged);
    }
    if (lstat(dst.c_str(), &target) == 0 || errno != ENOENT)
        return false;
    const size_t slash = dst.find_last_of('/');
    const std::string parent = slash == std::string::npos ? "." : dst.substr(0, slash);
    const std::string name = slash == std::string::npos ? dst : dst.substr(slash + 1);
    return !name.empty() &&
           CopyNewDirectory(std::move(own), parent.empty() ? "/" : parent, name, staged);
}

bool CopyPath(const wxString& src, const wxString& dst) {
    const auto source = platform::ToPath(src.ToStdWstring());
    const auto target = platform::ToPath(dst.ToStdWstring());
    if (!source || !target)
        return false;
    std::string destination = target->native();
    while (destination.size() > 1 && destination.back() == '/')
        destination.pop_back();
    UniqueFd dir(open(source->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir || destination.size() >= PATH_MAX ||
        !CheckPackageShape(dir.get(), source->native(), PATH_MAX - destination.size()))
        return false;
    StagedInstall staged;
    if (!CopyCheckedDirectory(dir.get(), source->native(), destination, staged)) {
        // What reached an existing directory before the failure stays, as with any copy.
        staged.Commit();
        return false;
    }
    return staged.Commit();
}
