#pragma once
// Opening files that come from outside: only regular files are used. The open itself never
// blocks (O_NONBLOCK, so a FIFO in a file's place cannot hang us) and the kind is checked on the
// descriptor afterwards, so nothing can be swapped in between a check and the open.
#include <cstdint>
#include <filesystem>
#include <string>
#include <sys/types.h>

#include "system/unique_fd.h"

namespace platform {

enum class FileProblem {
    None,
    Missing,    // nothing has that name
    NotRegular, // a directory, FIFO, device or socket (or a link, where links are refused)
    TooLarge,   // longer than the caller's cap
    Failed,     // anything else: permissions, I/O errors, a name that cannot be converted
};

// Short English words for a log record ("missing", "not a regular file", ...).
const char* DescribeFileProblem(FileProblem problem);

struct OpenedFile {
    UniqueFd fd; // blocking again, positioned at the start
    uint64_t size = 0;
    FileProblem problem = FileProblem::Failed;
};

// Opens path with access (O_RDONLY, O_WRONLY or O_RDWR, optionally with O_NOFOLLOW, O_APPEND
// and O_CREAT) when it is a regular file. With O_CREAT a missing file is made with mode (before
// the umask). The descriptor is close-on-exec and never becomes a controlling terminal.
OpenedFile OpenRegular(const std::filesystem::path& path, int access, mode_t mode = 0666);
// For reading and writing an existing file in place: a link in its place is refused, never
// followed.
OpenedFile OpenRegularForUpdate(const std::filesystem::path& path);

struct FileBytes {
    std::string bytes;
    FileProblem problem = FileProblem::Failed;
    bool ok() const { return problem == FileProblem::None; }
};

inline constexpr uint64_t kNoSizeCap = UINT64_MAX - 1;
// Ini and settings files: far beyond any real one.
inline constexpr uint64_t kIniFileCap = 1024 * 1024;

// The whole content of a regular file of at most maxBytes bytes (links followed). A file that
// grows past the cap while being read is TooLarge as well, so memory stays below the cap.
FileBytes OpenRegularForRead(const std::filesystem::path& path, uint64_t maxBytes = kNoSizeCap);

// Opens path for writing from its start, truncated or created (mode before the umask). A
// symbolic link in its place is removed and a new file created, so the file the link pointed
// to is never touched; anything else that is not a regular file is refused.
UniqueFd CreateTruncatedReplacingLink(const std::filesystem::path& path, mode_t mode);

} // namespace platform
