#pragma once
// Whole reads and writes on file descriptors: retried when interrupted, and false unless every
// byte moved.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

bool WriteAll(int fd, const void* data, size_t size);
bool WriteAllAt(int fd, const void* data, size_t size, uint64_t offset);
// False on an error or when the file ends before size bytes.
bool ReadExactlyAt(int fd, void* data, size_t size, uint64_t offset);
// Up to size bytes at offset: fewer only at the end of the file; nullopt on an error.
std::optional<size_t> ReadAt(int fd, void* data, size_t size, uint64_t offset);
// Everything from the current position to the end; nullopt on an error. Reading stops after
// limit + 1 bytes, so a caller with a cap can tell a longer file without holding all of it.
std::optional<std::string> ReadToEnd(int fd, uint64_t limit = UINT64_MAX - 1);
// Copies everything from in's current position to its end into out. False on an error.
bool CopyToEnd(int in, int out);
// The one file copy: the whole regular file in, whatever its position, into the empty file out,
// in the kernel where it can (never through our memory), with its holes left as holes (a large
// sparse file costs only its data) and its modification time, as an installed file keeps the
// time its package gave it. Anything else than a regular file is copied as CopyToEnd does, bytes
// only. False on an error; out then holds part of the data.
bool CopyFileData(int in, int out);

} // namespace platform
