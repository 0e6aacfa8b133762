#pragma once
// The file side of a download: the ".part" file the body is written to, and its commit over the
// destination. Kept apart from the transfer so the file rules live in one place.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "system/unique_fd.h"

namespace net {

// True when destination may be replaced: it does not exist or is a regular file (not a link).
bool IsReplaceableDestination(const std::filesystem::path& destination, std::string* detail);

class PartFile {
public:
    PartFile() = default;
    ~PartFile() = default; // closes the descriptor and leaves the file
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Opens or creates path without following a link; refuses anything but a regular file with
    // one name. keep: its bytes stay (Size() says how many), else it is emptied.
    bool Open(const std::filesystem::path& path, bool keep, std::string* detail);
    std::uint64_t Size() const { return size_; }
    bool Truncate(std::uint64_t size);
    // Written bytes start on their way to the disk every few MiB, so the flush at the commit
    // waits for the last of them only.
    bool WriteAt(const void* data, std::size_t size, std::uint64_t offset);
    // Flushes the file to disk, renames it over destination (a sibling) and flushes the
    // directory. The part is closed either way; false leaves it where it was.
    bool CommitTo(const std::filesystem::path& destination, std::string* detail);
    // Deletes the part file this object opened.
    void Remove();

private:
    std::filesystem::path path_;
    platform::UniqueFd fd_;
    std::uint64_t size_ = 0;
    std::uint64_t writebackFrom_ = 0; // bytes before this were handed to the disk already
};

} // namespace net
