#include "launcher/update/copy_path.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "launcher/log.h"
#include "system/file_io.h"
#include "system/file_operations.h"
#include "system/path.h"

namespace fs = std::filesystem;

namespace {

// Hidden, so a temporary left by a crash is not taken for a game file.
constexpr const char* kTemporaryPattern = ".launcher-install-XXXXXX";

bool CopyBytes(int in, int out) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        if (!platform::WriteAll(out, buffer.data(), static_cast<size_t>(got)))
            return false;
    }
}

fs::path TemporaryBeside(const fs::path& destination) {
    const fs::path dir = destination.parent_path();
    return (dir.empty() ? fs::path(".") : dir) / kTemporaryPattern;
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
    std::string temp = TemporaryBeside(dst).native();
    if (mkdtemp(temp.data()) == nullptr)
        return false;
    struct stat info {};
    // The permissions come last: a read-only source directory must not lock out its own copy.
    const bool ok = CopyContents(src, temp) && stat(src.c_str(), &info) == 0 &&
                    chmod(temp.c_str(), info.st_mode & 0777) == 0 &&
                    rename(temp.c_str(), dst.c_str()) == 0;
    if (!ok)
        platform::DeleteTree(temp);
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
    const int in = open(src.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat info {};
    std::string temp = TemporaryBeside(dst).native();
    const int out =
        fstat(in, &info) == 0 && S_ISREG(info.st_mode) ? mkostemp(temp.data(), O_CLOEXEC) : -1;
    if (out < 0) {
        close(in);
        return false;
    }
    // Synced before the rename, so not even a power cut leaves a half-written file in place.
    bool ok = fchmod(out, info.st_mode & 0777) == 0 && CopyBytes(in, out) && fsync(out) == 0;
    ok = close(out) == 0 && ok;
    close(in);
    if (ok && rename(temp.c_str(), dst.c_str()) == 0)
        return true;
    unlink(temp.c_str());
    return false;
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
