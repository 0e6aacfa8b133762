#include "modules/selfupdater/copy_over.h"

#include "system/atomic_replace.h"
#include "system/regular_file.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace selfupdater {

namespace fs = std::filesystem;

namespace {

// Streams the file into target's place with the file's permission bits; false unless it is a
// regular file (a link or a FIFO is never opened through).
bool CopyFile(const fs::path& source, const fs::path& target) {
    const platform::OpenedFile file = platform::OpenRegular(source, O_RDONLY | O_NOFOLLOW);
    struct stat info {};
    return file.fd && fstat(file.fd.get(), &info) == 0 &&
           platform::ReplaceFileFromDescriptor(target, file.fd.get(), info.st_mode & 0777);
}

// An installed directory may be the player's link to another disk: it is used as it is.
bool EnsureDirectory(const fs::path& target) {
    std::error_code ec;
    if (fs::is_directory(target, ec))
        return true;
    return fs::create_directory(target, ec);
}

// The launcher's record of the versions it runs: taken over last, and only when every other
// file is in place, so a launcher left half updated still asks for its update.
const fs::path kVersionsFile = "version.ini";

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
    const auto versions = std::find(entries.begin(), entries.end(), kVersionsFile);
    const bool hasVersions = versions != entries.end() &&
                             fs::is_regular_file(fs::symlink_status(sourceDir / kVersionsFile, ec));
    if (hasVersions)
        entries.erase(versions);
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
    if (!hasVersions)
        return outcome;
    if (outcome.failed != 0) {
        log.Write("version.ini not copied: the launcher is not wholly updated and asks for its "
                  "update again");
    } else if (CopyFile(sourceDir / kVersionsFile, programDir / kVersionsFile)) {
        ++outcome.copied;
    } else {
        log.Write("cannot copy " + (sourceDir / kVersionsFile).native() + " to " +
                  (programDir / kVersionsFile).native());
        ++outcome.failed;
    }
    return outcome;
}

} // namespace selfupdater
