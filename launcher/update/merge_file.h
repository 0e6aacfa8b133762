#pragma once
// The file access the index loaders and merges share: existing regular files only, positioned
// reads and writes that either move every byte or fail.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sys/types.h>

#include <wx/string.h>

#include "system/unique_fd.h"

class MergeFile {
public:
    MergeFile() = default;
    MergeFile(const MergeFile&) = delete;
    MergeFile& operator=(const MergeFile&) = delete;

    // Opens an existing regular file, for reading or for reading and writing; never creates
    // one. False for a path that cannot be converted or that names anything but a regular file.
    bool Open(const wxString& path, bool writable);
    // The current length, or nullopt when it cannot be told.
    std::optional<uint64_t> Length() const;
    // The permission bits, or nullopt when they cannot be told.
    std::optional<mode_t> Mode() const;
    // Exactly size bytes at position; a short read (end of file, error) gives false.
    bool ReadAt(void* buffer, size_t size, uint64_t position) const;
    // Exactly size bytes at position; anything less gives false.
    bool WriteAt(const void* data, size_t size, uint64_t position);

private:
    platform::UniqueFd fd_;
};

// True when path itself is an existing regular file: a symbolic link is not one, so the merges
// replace a link in an installed file's place instead of writing where it points.
bool IsRegularFile(const wxString& path);
// Copies a regular file (not a link) over another, creating or replacing it through a temporary
// sibling and a rename: a crash leaves the old file or the new one, and a link in the target's
// place is replaced, never followed. True when every byte arrived.
bool CopyFileOver(const wxString& from, const wxString& to);
