#pragma once
// Copying the unpacked package over the program directory.
#include "modules/selfupdater/update_log.h"

#include <cstddef>
#include <filesystem>

namespace selfupdater {

struct CopyOutcome {
    size_t copied = 0; // files now in place
    size_t failed = 0; // entries that could not be copied (each one logged)
};

// Copies every file below sourceDir to the same relative path below programDir, creating
// directories as needed. Each file is replaced atomically and takes the source's permission
// bits, so a crash leaves every file old or new, never half written. Symbolic links and
// special files in the source are refused. The copy goes on past a failed entry. A
// "version.ini" at the top of sourceDir is copied last, and only when every other entry was
// copied: it records the launcher version the copied files make.
CopyOutcome CopyContentOver(const std::filesystem::path& sourceDir,
                            const std::filesystem::path& programDir, UpdateLog& log);

} // namespace selfupdater
