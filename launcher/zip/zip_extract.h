#pragma once
// Writing one archive entry below the reader's base directory.
// Runs on the thread that unpacks packages.
#include "launcher/zip/zip_reader.h"

#include <cstdint>
#include <string>

// Writes entry `index` to `target` (as a rule the entry's sanitised name), relative to the base
// directory. A directory entry (or a target ending in "/") creates that directory.
// A file gets its name only after its data came out whole with the declared size and CRC (see
// ZipOutputFile), so a failed entry leaves no file behind and an existing file, read-only or
// not, is replaced only by a complete one.
// Refused with ZipErrOpen: a target that is empty, absolute, has control characters or a ".."
// component, a symbolic-link entry, and a path through an existing symbolic link. Negative or
// too large indices give ZipErrBadArgument, encrypted entries ZipErrEncrypted, bad data or an
// unknown compression method ZipErrData, write errors ZipErrWrite; errors of GetZipEntry are
// passed on. Does not touch ZipLastError.
uint32_t ExtractZipEntry(ZipReader* reader, int32_t index, const std::wstring& target);
