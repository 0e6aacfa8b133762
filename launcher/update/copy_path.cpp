#include "launcher/update/copy_path.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "launcher/log.h"
#include "system/atomic_replace.h"
#include "system/file_io.h"
#include "system/file_operations.h"
#include "system/path.h"
#include "system/regular_file.h"

namespace fs = std::filesystem;

namespace {

// A directory built beside its place, under a hidden name only we write (a temporary left by
// a crash is not taken for a game file and can be recognised).
std::optional<fs::path> MakeTemporaryDirectoryBeside(const fs::path& destination) {
    const fs::path dir = destination.has_parent_path() ? destination.parent_path() : ".";
    for (int attempt = 0; attempt < 16; ++attempt) {
        fs::path temp = dir / platform::TemporarySiblingName(destination.filename().native());
        if (mkdir(temp.c_str(), 0700) == 0)
            return temp;
        if (errno != EEXIST)
            break;
    }
    return std::nullopt;
}

// True when every entry below dir is a regular file or a directory; logs the first other one.
bool HoldsOnlyFilesAndDirectories(const fs::path& dir) {
    std::error_code ec;
    fs::recursive_directory_iterator it(dir, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::file_status status = it->symlink_status(ec);
        if (ec)
            return false;
        if (!fs::is_directory(status) && !fs::is_regular_file(status)) {
            LOG_ERROR(L"%s(%d): %s is neither a file nor a directory, the package is refused",
                      wxString::FromUTF8(it->path().c_str()));
            return false;
        }
    }
    return !ec;
}

bool CopyContents(const fs::path& src, const fs::path& dst);

// Builds the directory beside its place and renames it in when complete.
bool CopyNewDirectory(const fs::path& src, const fs::path& dst) {
    const std::optional<fs::path> temp = MakeTemporaryDirectoryBeside(dst);
    if (!temp)
        return false;
    struct stat info {};
    // The permissions come last: a read-only source directory must not lock out its own copy.
    const bool ok = CopyContents(src, *temp) && stat(src.c_str(), &info) == 0 &&
                    chmod(temp->c_str(), info.st_mode & 0777) == 0 &&
                    rename(temp->c_str(), dst.c_str()) == 0;
    if (!ok)
        platform::DeleteTree(*temp);
    return ok;
}

// dst is an existing directory.
bool CopyContents(const fs::path& src, const fs::path& dst) {
    std::error_code ec;
    fs::directory_iterator it(src, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path target = dst / it->path().filename();
        std::error_code statusError;
        if (!fs::is_directory(it->symlink_status(statusError))) {
            if (!InstallFile(it->path(), target))
                return false;
            continue;
        }
        // Directories already installed may be the player's links (to another disk, say).
        if (fs::is_directory(target, statusError)) {
            if (!CopyContents(it->path(), target))
                return false;
        } else if (fs::exists(fs::symlink_status(target, statusError))) {
            return false; // a file where the directory goes
        } else if (!CopyNewDirectory(it->path(), target)) {
            return false;
        }
    }
    return !ec;
}

} // namespace

bool InstallFile(const fs::path& src, const fs::path& dst) {
    const platform::OpenedFile in = platform::OpenRegular(src, O_RDONLY | O_NOFOLLOW);
    struct stat info {};
    return in.fd && fstat(in.fd.get(), &info) == 0 &&
           platform::ReplaceFileFromDescriptor(dst, in.fd.get(), info.st_mode & 0777);
}

bool CopyPath(const wxString& src, const wxString& dst) {
    const auto source = platform::ToPath(src.ToStdWstring());
    const auto target = platform::ToPath(dst.ToStdWstring());
    std::error_code ec;
    if (!source || !target || !fs::is_directory(fs::symlink_status(*source, ec)))
        return false;
    if (!HoldsOnlyFilesAndDirectories(*source))
        return false;
    if (fs::is_directory(*target, ec))
        return CopyContents(*source, *target);
    if (fs::exists(fs::symlink_status(*target, ec)))
        return false;
    return CopyNewDirectory(*source, *target);
}
