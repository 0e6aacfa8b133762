#include "system/file_operations.h"
#include "system/below_root.h"
#include "system/directory_stream.h"
#include "system/file_io.h"
#include "system/unique_fd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

// Compares the entries themselves, not what links point to.
bool SameEntry(const fs::path& a, const fs::path& b) {
    struct stat first {};
    struct stat second {};
    return lstat(a.c_str(), &first) == 0 && lstat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Copies a regular file over dst (created, or emptied and rewritten) with the source's
// permission bits and modification time.
bool CopyRegularFile(const fs::path& src, const fs::path& dst) {
    const UniqueFd in(open(src.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!in || fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    UniqueFd out(open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                      info.st_mode & 0777));
    return out && fchmod(out.get(), info.st_mode & 0777) == 0 &&
           CopyFileData(in.get(), out.get()) && out.Close();
}

// Copies one entry; directories recurse. Goes on after a failure so as much as possible
// arrives, and reports whether everything did.
bool CopyEntry(const fs::path& src, const fs::path& dst) {
    std::error_code ec;
    const fs::file_status source = fs::symlink_status(src, ec);
    if (ec)
        return false;
    const fs::file_status target = fs::symlink_status(dst, ec);
    const bool targetExists = !ec && fs::exists(target);
    if (fs::is_directory(source)) {
        if (targetExists && !fs::is_directory(target))
            return false; // a file or a link where the directory goes: never write through it
        // Plain permissions: a read-only source directory must not lock us out of its copy.
        if (!targetExists && !fs::create_directory(dst, ec))
            return false;
        bool all = true;
        fs::directory_iterator it(src, ec);
        if (ec)
            return false;
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            all = CopyEntry(it->path(), dst / it->path().filename()) && all;
        }
        return all && !ec;
    }
    if (!fs::is_regular_file(source) && !fs::is_symlink(source))
        return false; // devices, pipes and sockets are not part of an installation
    if (targetExists) {
        // The same file under two names: replacing dst would destroy src.
        if (fs::is_directory(target) || SameEntry(src, dst))
            return false;
        // Remove a link first so the copy replaces it instead of writing to where it points.
        if (fs::is_symlink(target) && !fs::remove(dst, ec))
            return false;
    }
    if (fs::is_symlink(source)) {
        if (targetExists && !fs::is_symlink(target) && !fs::remove(dst, ec))
            return false;
        fs::copy_symlink(src, dst, ec);
        return !ec;
    }
    if (CopyRegularFile(src, dst))
        return true;
    // A read-only file in the way is replaced, as an installer expects.
    if (!targetExists || !fs::remove(dst, ec))
        return false;
    return CopyRegularFile(src, dst);
}

// True when inner is outer or lies below it (after resolving what exists of both).
bool IsWithin(const fs::path& inner, const fs::path& outer) {
    std::error_code ec;
    const fs::path a = fs::weakly_canonical(inner, ec);
    if (ec)
        return false;
    const fs::path b = fs::weakly_canonical(outer, ec);
    if (ec)
        return false;
    auto ai = a.begin();
    for (auto bi = b.begin(); bi != b.end(); ++bi, ++ai) {
        if (ai == a.end() || *ai != *bi)
            return bi->empty() && std::next(bi) == b.end(); // b ends in "/"
    }
    return true;
}

// Deletes the entries of an open directory and closes it. Every step is relative to a
// descriptor opened with O_NOFOLLOW, so a directory swapped for a link midway is not followed.
bool DeleteContents(UniqueFd dirFd) {
    DirectoryStream dir(std::move(dirFd));
    if (!dir.ok())
        return false;
    bool all = true;
    while (const dirent* entry = dir.Next()) {
        const std::string name = entry->d_name;
        struct stat info {};
        if (fstatat(dir.fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            all = false;
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            UniqueFd child = OpenChildDirectory(dir.fd(), name, false);
            const bool emptied = child && DeleteContents(std::move(child));
            all = emptied && unlinkat(dir.fd(), name.c_str(), AT_REMOVEDIR) == 0 && all;
        } else {
            all = unlinkat(dir.fd(), name.c_str(), 0) == 0 && all;
        }
    }
    return all;
}

// "link/" would make lstat and O_NOFOLLOW look through the link, so trailing slashes go.
fs::path WithoutTrailingSlashes(const fs::path& path) {
    std::string text = path.native();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

} // namespace

bool CopyTree(const fs::path& srcGiven, const fs::path& dstGiven) {
    try {
        const fs::path src = WithoutTrailingSlashes(srcGiven);
        const fs::path dst = WithoutTrailingSlashes(dstGiven);
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(src, ec)))
            return false;
        // A tree copied into itself would grow without end.
        if (fs::is_directory(fs::symlink_status(src, ec)) && IsWithin(dst, src))
            return false;
        if (dst.has_parent_path())
            fs::create_directories(dst.parent_path(), ec);
        return CopyEntry(src, dst);
    } catch (...) {
        return false;
    }
}

bool DeleteTree(const fs::path& given) {
    const fs::path path = WithoutTrailingSlashes(given);
    struct stat info {};
    if (path.empty() || lstat(path.c_str(), &info) != 0)
        return false;
    if (!S_ISDIR(info.st_mode))
        return unlink(path.c_str()) == 0;
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd)
        return false;
    const bool emptied = DeleteContents(std::move(fd));
    return rmdir(path.c_str()) == 0 && emptied;
}

} // namespace platform
