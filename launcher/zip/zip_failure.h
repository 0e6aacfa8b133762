#pragma once
// Why an entry was not unpacked, in words an operator can act on.
// Runs on the thread that unpacks packages.
#include "launcher/zip/zip_reader.h"

#include <cstdint>
#include <string>

// The name of a compression method as packing tools call it ("Deflate64", "LZMA"), or
// "method <n>" for one without a common name.
std::wstring ZipMethodName(uint32_t method);
// The name with its number: "Deflate64 (method 9)"; "method 77" for one without a name.
std::wstring ZipMethodText(uint32_t method);

// Explains the failure `code` of entry `index`: its name, method and sizes where its record
// could be read, and what the code means for it (a method this layer does not read, an
// encrypted entry, data that does not match its sizes or CRC, a name that cannot be written).
std::wstring DescribeZipFailure(ZipReader& reader, int32_t index, uint32_t code);
