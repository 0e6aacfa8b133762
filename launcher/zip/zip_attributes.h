#pragma once
// Attributes and times of an entry: the Windows values the record carries, and what of them
// a Linux file can keep.
#include "launcher/zip/zip_entry.h"

#include <cstdint>
#include <ctime>
#include <span>
#include <sys/types.h>

// Windows attributes from the external attributes and the version-made-by field, whose high
// byte names the host that made the entry (DOS-like hosts store the attributes themselves,
// every other host is read as Unix, with the mode in the high 16 bits).
uint32_t ZipWindowsAttributes(uint32_t externalAttributes, uint16_t versionMadeBy);

// The Unix type and permission bits of an entry made on a non-DOS host, 0 otherwise.
uint32_t ZipUnixMode(uint32_t externalAttributes, uint16_t versionMadeBy);

// Permission bits for the written file: the Unix permissions when the entry has them (never
// set-id or sticky bits), else rw for all; read-only entries lose every write bit.
mode_t ZipFileMode(const ZipEntry& entry);

// A DOS date (high 16 bits) and time (low 16 bits) in local time, as a UTC file time;
// 0 when the fields do not form a calendar time. Uses the time zone tzset() last read.
ZipFileTime DosTimeToFileTime(uint32_t dosDateTime);

// Applies the first "UT" (extended timestamp) block of a local extra field: each time its flags
// announce and its data holds replaces the entry's write, access or creation time.
void ApplyExtendedTimestamp(std::span<const unsigned char> extraField, ZipEntry& entry);

// A file time for utimensat/futimens; an unknown time (0) leaves the file's time as it is.
timespec FileTimeToTimespec(ZipFileTime time);
