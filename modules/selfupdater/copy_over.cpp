#include "modules/selfupdater/copy_over.h"

#include "system/file_io.h"
#include "system/file_operations.h"

#include <algorithm>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace selfupdater {

namespace fs = std::filesystem;

namespace {

// The whole file and its permission bits; nullopt unless it is a regular file (a link or a
// FIFO is never opened through).
std::optional<std::pair<std::string, mode_t>> ReadRegularFile(const fs::path& file) {
    const int fd = open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    std::optional<std::pair<std::string, mode_t>> result;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        if (auto bytes = platform::ReadToEnd(fd))
            result.emplace(std::move(*bytes), info.st_mode & 0777);
    }
    close(fd);
    return result;
}

bool CopyFile(const fs::path& source, const fs::path& target) {
    const auto file = ReadRegularFile(source);
    return file && platform::ReplaceFileAtomically(target, file->first) &&
           chmod(target.c_str(), file->second) == 0;
}

// An installed directory may be the player's link to another disk: it is used as it is.
bool EnsureDirectory(const fs::path& target) {
    std::error_code ec;
    if (fs::is_directory(target, ec))
        return true;
    return fs::create_directory(target, ec);
}

} // namespace

CopyOutcome CopyContentOver(const fs::path& sourceDir, const fs::path& programDir, UpdateLog& log) {
    CopyOutcome outcome;
    // The list is taken first: the program directory may hold the source, and new files must
    // not be walked again.
    std::vector<fs::path> entries;
    std::error_code ec;
    fs::recursive_directory_iterator it(sourceDir, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        entries.push_back(it->path().lexically_relative(sourceDir));
    if (ec) {
        log.Write("cannot list " + sourceDir.native() + ": " + ec.message());
        ++outcome.failed;
    }
    std::sort(entries.begin(), entries.end());
    for (const fs::path& relative : entries) {
        const fs::path source = sourceDir / relative;
        const fs::path target = programDir / relative;
        const fs::file_status status = fs::symlink_status(source, ec);
        bool ok = false;
        if (fs::is_directory(status))
            ok = EnsureDirectory(target);
        else if (fs::is_regular_file(status))
            ok = CopyFile(source, target);
        if (!ok) {
            log.Write("cannot copy " + source.native() + " to " + target.native());
            ++outcome.failed;
        } else if (!fs::is_directory(status)) {
            ++outcome.copied;
        }
    }
    return outcome;
}

} // namespace selfupdater
