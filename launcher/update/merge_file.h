#pragma once
// The file access the index loaders and merges share: existing regular files only, positioned
// reads and writes that either move every byte or fail.
#include <cstddef>
#include <cstdint>
#include <optional>

#include <wx/string.h>

class MergeFile {
public:
    MergeFile() = default;
    ~MergeFile();
    MergeFile(const MergeFile&) = delete;
    MergeFile& operator=(const MergeFile&) = delete;

    // Opens an existing regular file, for reading or for reading and writing; never creates
    // one. False for a path that cannot be converted or that names anything but a regular file.
    bool Open(const wxString& path, bool writable);
    // The current length, or nullopt when it cannot be told.
    std::optional<uint64_t> Length() const;
    // Exactly size bytes at position; a short read (end of file, error) gives false.
    bool ReadAt(void* buffer, size_t size, uint64_t position) const;
    // Exactly size bytes at position; anything less gives false.
    bool WriteAt(const void* data, size_t size, uint64_t position);

private:
    int fd_ = -1;
};

// True when path names an existing regular file (symbolic links followed).
bool IsRegularFile(const wxString& path);
// Copies a regular file over another, creating or replacing it. True when every byte arrived.
bool CopyFileOver(const wxString& from, const wxString& to);
