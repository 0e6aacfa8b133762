#include "launcher/config/stale_temporaries.h"

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "system/atomic_replace.h"
#include "system/below_root.h"
#include "system/directory_stream.h"
#include "system/file_operations.h"
#include "system/path.h"
#include "system/program_directory.h"
#include "system/unique_fd.h"

namespace {

// Far deeper than any game's tree; a deeper one is not searched, never walked without end.
constexpr int MaxDepth = 64;

std::vector<std::string> List(int dir) {
    std::vector<std::string> entries;
    // The listing gets its own descriptor: the stream closes it.
    platform::DirectoryStream listing(platform::UniqueFd(dup(dir)));
    while (const dirent* entry = listing.Next())
        entries.emplace_back(entry->d_name);
    return entries;
}

void Clean(int dir, const std::filesystem::path& path, int depth) {
    for (const std::string& name : List(dir)) {
        struct stat info {};
        if (fstatat(dir, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const bool stale = platform::IsTemporarySiblingName(name);
        if (S_ISREG(info.st_mode)) {
            if (stale)
                unlinkat(dir, name.c_str(), 0);
        } else if (S_ISDIR(info.st_mode)) {
            if (stale) {
                platform::DeleteTree(path / name);
            } else if (depth < MaxDepth) {
                const platform::UniqueFd child = platform::OpenChildDirectory(dir, name, false);
                if (child)
                    Clean(child.get(), path / name, depth + 1);
            }
        }
    }
}

} // namespace

void RemoveStaleTemporaryFiles() {
    const auto directory = platform::ToPath(platform::ProgramDirectory());
    if (!directory)
        return;
    const platform::UniqueFd dir(
        open(directory->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY));
    if (dir)
        Clean(dir.get(), *directory, 0);
}
