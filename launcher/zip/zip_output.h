#pragma once
// A file written under a temporary name beside its target and renamed into place only when
// complete, so a failed entry leaves neither a partial file nor a damaged older one.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <sys/types.h>

class ZipOutputFile {
public:
    ZipOutputFile() = default;
    ~ZipOutputFile(); // removes a file that was not committed
    ZipOutputFile(const ZipOutputFile&) = delete;
    ZipOutputFile& operator=(const ZipOutputFile&) = delete;

    // Creates the temporary file in the directory `dirFd` with permission bits `mode`.
    bool Create(int dirFd, mode_t mode);
    bool Write(const unsigned char* data, size_t size);
    // Sets last access and last write (times[0], times[1]), closes the file and renames it over
    // `name` in the same directory. Returns a result code; on failure nothing is left behind.
    uint32_t Commit(const std::string& name, const timespec times[2]);

private:
    void Discard();

    int dirFd_ = -1;
    int fd_ = -1;
    std::string tempName_;
};
