#pragma once
// What the zip layer reports: the entry record, Windows attribute values, file times and the
// numeric result codes. The codes are fixed numbers that callers and logs rely on.
#include <atomic>
#include <cstdint>
#include <string>

inline constexpr uint32_t ZipOk = 0;
inline constexpr uint32_t ZipErrOpen = 0x200;       // archive or target file cannot be opened
inline constexpr uint32_t ZipErrWrite = 0x400;      // writing the target file failed
inline constexpr uint32_t ZipErrHeader = 0x700;     // entry headers damaged or disagreeing
inline constexpr uint32_t ZipErrRead = 0x800;       // the entry's local extra field is unreadable
inline constexpr uint32_t ZipErrEncrypted = 0x1000; // encrypted entry (we never hold a password)
inline constexpr uint32_t ZipErrBadArgument = 0x10000; // null handle or index out of range
inline constexpr uint32_t ZipErrNotReading = 0x80000;  // the handle is not a reading handle
inline constexpr uint32_t ZipErrData = 0x5000000;      // compressed data, size or CRC is wrong

// The code of the last operation that stores one: OpenZipFile, SetZipBaseDir, CloseZipFile and
// UnzipPackage. Process-wide; the layer is used from one thread at a time.
extern std::atomic<uint32_t> ZipLastError;

// Windows file attributes as the record carries them.
inline constexpr uint32_t ZipAttrReadOnly = 0x1;
inline constexpr uint32_t ZipAttrHidden = 0x2;
inline constexpr uint32_t ZipAttrSystem = 0x4;
inline constexpr uint32_t ZipAttrDirectory = 0x10;
inline constexpr uint32_t ZipAttrArchive = 0x20;

// A file time: 100 ns ticks since 1601-01-01 00:00 UTC, the scale Windows file times use.
// 0 means "unknown"; such a time is not applied to the written file.
using ZipFileTime = uint64_t;
inline constexpr ZipFileTime ZipFileTimeUnixEpoch = 116444736000000000ULL;
inline constexpr ZipFileTime ZipFileTimeTicksPerSecond = 10000000ULL;

struct ZipEntry {
    int32_t number = 0;      // index in the central directory; in the count form the entry count
    std::wstring name;       // sanitised name, separators "/"
    uint32_t attributes = 0; // ZipAttr* bits
    ZipFileTime accessTime = 0;
    ZipFileTime creationTime = 0;
    ZipFileTime writeTime = 0;
    int64_t packedSize = 0; // compressed bytes
    int64_t size = 0;       // uncompressed bytes
    // Type and permission bits of an entry made on a Unix host; 0 when the host keeps none.
    uint32_t unixMode = 0;
};
