#pragma once
// The one way a directory is listed: its entries read as a stream from a descriptor the stream
// owns, so a walk holds one open directory per level and nothing more. Any thread.
#include <dirent.h>

#include "system/unique_fd.h"

namespace platform {

// The entries of an open directory, "." and ".." left out.
class DirectoryStream {
public:
    explicit DirectoryStream(UniqueFd dir);
    ~DirectoryStream();
    DirectoryStream(const DirectoryStream&) = delete;
    DirectoryStream& operator=(const DirectoryStream&) = delete;

    bool ok() const { return dir_ != nullptr; }
    int fd() const;
    // The next entry, or null at the end (or on an error, which failed() then tells).
    const dirent* Next();
    bool failed() const { return failed_; }

private:
    DIR* dir_ = nullptr;
    bool failed_ = false;
};

} // namespace platform
