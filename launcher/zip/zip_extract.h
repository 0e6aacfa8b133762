#pragma once
// Writing one archive entry below the reader's base directory.
// Runs on the thread that unpacks packages.
#include "launcher/zip/zip_reader.h"

#include <cstdint>
#include <string>

// Writes entry `index` to `target` (as a rule the entry's sanitised name), relative to the base
// directory. A directory entry (or a target ending in "/") creates that directory.
// A file is written beside its target under a temporary name and renamed into place only
// after its data came out whole with the declared size and CRC, so a failed entry leaves no
// file behind and an existing file (read-only or not) is replaced only by a complete one.
// Refused with ZipErrOpen: a target that is empty, absolute, has control characters or a ".."
// component, a symbolic-link entry, and a path through an existing symbolic link. Encrypted
// entries give ZipErrEncrypted, bad data ZipErrData, write errors ZipErrWrite, and errors of
// GetZipEntry are passed on. Does not touch ZipLastError.
uint32_t ExtractZipEntry(ZipReader* reader, int32_t index, const std::wstring& target);
