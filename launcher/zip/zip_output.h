#pragma once
// A file that gets its name only when it is complete, so a failed entry leaves neither a
// partial file nor a damaged older one. It is written as an unnamed file (O_TMPFILE) and
// linked under its name at the end; where the file system has no unnamed files, it is written
// under a temporary name beside the target and renamed.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <sys/types.h>

#include "system/unique_fd.h"

class ZipOutputFile {
public:
    ZipOutputFile() = default;
    ~ZipOutputFile(); // a file that was not committed disappears
    ZipOutputFile(const ZipOutputFile&) = delete;
    ZipOutputFile& operator=(const ZipOutputFile&) = delete;

    // Creates the file in the directory `dirFd` with permission bits `mode`.
    bool Create(int dirFd, mode_t mode);
    bool Write(const unsigned char* data, size_t size);
    // Sets last access and last write (times[0], times[1]) and gives the file `name` in its
    // directory, replacing what has that name (a read-only file or a symbolic link itself,
    // never what a link points to). Returns a result code; on failure nothing is left behind.
    uint32_t Commit(const std::string& name, const timespec times[2]);

private:
    bool CreateNamed(mode_t mode);
    bool LinkTemporaryName();
    void Discard();

    int dirFd_ = -1;
    platform::UniqueFd fd_;
    bool unnamed_ = false;
    std::string tempName_; // set while the file has a temporary name
};
