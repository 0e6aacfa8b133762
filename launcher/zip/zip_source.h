#pragma once
// The archive file under minizip: our own file functions over a POSIX descriptor.
#include <cstdint>
#include <filesystem>
#include <minizip/unzip.h>

// The archive file under an open archive: its descriptor and read-ahead windows.
struct ZipSourceFile;

struct ZipSource {
    bool opened = false;
    // The archive; its descriptor is closed by unzClose. nullptr for an archive without
    // entries, which minizip does not open.
    unzFile archive = nullptr;
    // The archive file, for reading entry data directly, and its size. Owned by `archive`.
    ZipSourceFile* file = nullptr;
    uint64_t size = 0;
    // Bytes in front of the archive proper (a program it was appended to): offsets in its
    // records count from after them.
    uint64_t prefix = 0;
    int32_t entryCount = 0; // at most one per 46 bytes of the file
};

// Opens a regular file as an archive. Not opened when the file cannot be opened, is not a
// regular file or is not read as a zip archive; nothing stays open then.
ZipSource OpenZipSource(const std::filesystem::path& path);

// Reads exactly `size` bytes at `offset`, from a read-ahead window when one holds them (the
// data of a small entry usually sits right behind the header just read); reads smaller than a
// window load one, larger ones go to the file directly.
bool ReadZipSource(ZipSourceFile& file, unsigned char* out, size_t size, uint64_t offset);
