#pragma once
// The archive file under minizip: our own file functions over a POSIX descriptor.
#include <cstdint>
#include <filesystem>
#include <minizip/unzip.h>

struct ZipSource {
    bool opened = false;
    // The archive; its descriptor is closed by unzClose. nullptr for an archive without
    // entries, which minizip does not open.
    unzFile archive = nullptr;
    // The archive's descriptor, for reading entry data directly, and the file's size.
    int fd = -1;
    uint64_t size = 0;
    int32_t entryCount = 0; // at most one per 46 bytes of the file
};

// Opens a regular file as an archive. Not opened when the file cannot be opened, is not a
// regular file or is not read as a zip archive; nothing stays open then.
ZipSource OpenZipSource(const std::filesystem::path& path);
