#pragma once
// What is checked of a whole package before its first byte is written.
// Runs on the thread that unpacks packages.
#include "launcher/zip/zip_reader.h"

#include <cstdint>

// Checks every entry of an open archive whose base directory is set. Refused, with the reason
// logged:
// - ZipErrHeader: two entries share a local header or their data overlap (one local entry named
//   by thousands of central records would be written thousands of times);
// - ZipErrOpen: a path below the base is deeper or longer than the system can name;
// - ZipErrWrite: the declared sizes, with a margin, do not fit in the free space (or free file
//   slots) of the file system the base is on.
// Entries whose record cannot be read, or whose name is refused as a target, are left to fail on
// their own when they are extracted. ZipOk when nothing stands against unpacking.
uint32_t CheckZipPackage(ZipReader& reader);
