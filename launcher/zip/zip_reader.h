#pragma once
// Reading an archive: open it, name the directory entries go below, read entry records, close.
// Runs on the thread that unpacks packages; a handle belongs to that one user.
#include "launcher/zip/zip_entry.h"

#include <cstdint>
#include <string>

struct ZipReader; // the reading state of one open archive (zip_reader_state.h)

inline constexpr uint32_t ZipHandleReading = 1;

// Returned by OpenZipFile; the caller owns it until CloseZipFile.
struct ZipHandle {
    uint32_t kind = ZipHandleReading; // only reading handles exist
    ZipReader* reader = nullptr;
};

// Opens an archive for reading. nullptr with ZipLastError = ZipErrOpen when the file is missing,
// not a regular file, not a zip archive or truncated; else ZipLastError = ZipOk. The base
// directory starts as the current directory.
ZipHandle* OpenZipFile(const std::wstring& path);

// Entries are written below `dir`, created when the first entry needs it. Result also stored
// in ZipLastError: ZipErrBadArgument for a null handle or an empty `dir`, ZipErrNotReading for
// another kind of handle, ZipErrOpen for text that cannot name a path.
uint32_t SetZipBaseDir(ZipHandle* handle, const std::wstring& dir);

// Fills `entry` with entry `index`'s record, or with the count form for index -1 (`number` =
// entry count, everything else empty). Indices below -1 or not below the count give
// ZipErrBadArgument; a central directory that cannot be walked to the index or a local header
// that disagrees with it ZipErrHeader; an unreadable local extra field ZipErrRead; a name with
// an embedded NUL ZipErrOpen. Bytes of the name that are not UTF-8 become U+FFFD.
// Does not touch ZipLastError.
uint32_t GetZipEntry(ZipReader* reader, int32_t index, ZipEntry* entry);

// Closes the archive and frees the handle and its reader. Result also stored in ZipLastError.
uint32_t CloseZipFile(ZipHandle* handle);

// Frees a reader that is no longer attached to an open archive (CloseZipFile calls it).
void FreeZipReader(ZipReader* reader);
