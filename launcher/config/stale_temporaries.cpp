#include "launcher/config/stale_temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "system/atomic_replace.h"
#include "system/path.h"
#include "system/program_directory.h"
#include "system/unique_fd.h"

void RemoveStaleTemporaryFiles() {
    const auto directory = platform::ToPath(platform::ProgramDirectory());
    if (!directory)
        return;
    const platform::UniqueFd dir(
        open(directory->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY));
    if (!dir)
        return;
    // The listing gets its own descriptor: closedir closes it.
    DIR* listing = fdopendir(dup(dir.get()));
    if (listing == nullptr)
        return;
    std::vector<std::string> stale;
    while (const dirent* entry = readdir(listing)) {
        if (platform::IsTemporarySiblingName(entry->d_name))
            stale.emplace_back(entry->d_name);
    }
    closedir(listing);
    for (const std::string& name : stale) {
        struct stat info {};
        if (fstatat(dir.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode))
            unlinkat(dir.get(), name.c_str(), 0);
    }
}
