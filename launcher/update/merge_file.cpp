#include "launcher/update/merge_file.h"

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

#include "system/atomic_replace.h"
#include "system/file_io.h"
#include "system/path.h"
#include "system/regular_file.h"

bool MergeFile::Open(const wxString& path, bool writable) {
    const auto fsPath = platform::ToPath(path.ToStdWstring());
    if (!fsPath)
        return false;
    // Writing never goes through a link: one named like an index is refused, not followed.
    platform::OpenedFile file = writable ? platform::OpenRegularForUpdate(*fsPath)
                                         : platform::OpenRegular(*fsPath, O_RDONLY);
    if (!file.fd)
        return false;
    fd_ = std::move(file.fd);
    return true;
}

std::optional<uint64_t> MergeFile::Length() const {
    struct stat info {};
    if (!fd_ || fstat(fd_.get(), &info) != 0 || info.st_size < 0)
        return std::nullopt;
    return static_cast<uint64_t>(info.st_size);
}

std::optional<mode_t> MergeFile::Mode() const {
    struct stat info {};
    if (!fd_ || fstat(fd_.get(), &info) != 0)
        return std::nullopt;
    return info.st_mode & 07777;
}

bool MergeFile::ReadAt(void* buffer, size_t size, uint64_t position) const {
    return platform::ReadExactlyAt(fd_.get(), buffer, size, position);
}

bool MergeFile::WriteAt(const void* data, size_t size, uint64_t position) {
    return platform::WriteAllAt(fd_.get(), data, size, position);
}

bool IsRegularFile(const wxString& path) {
    const auto fsPath = platform::ToPath(path.ToStdWstring());
    std::error_code error;
    return fsPath &&
           std::filesystem::is_regular_file(std::filesystem::symlink_status(*fsPath, error));
}

bool CopyFileOver(const wxString& from, const wxString& to) {
    const auto fromPath = platform::ToPath(from.ToStdWstring());
    const auto toPath = platform::ToPath(to.ToStdWstring());
    if (!fromPath || !toPath)
        return false;
    const platform::OpenedFile source = platform::OpenRegular(*fromPath, O_RDONLY | O_NOFOLLOW);
    struct stat info {};
    return source.fd && fstat(source.fd.get(), &info) == 0 &&
           platform::ReplaceFileFromDescriptor(*toPath, source.fd.get(), info.st_mode & 0777);
}
