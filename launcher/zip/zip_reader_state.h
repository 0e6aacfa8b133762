#pragma once
// The reading state behind a ZipHandle, shared by the reader and the extraction step.
#include "launcher/zip/zip_data.h"
#include "launcher/zip/zip_directories.h"
#include "launcher/zip/zip_entry.h"
#include "launcher/zip/zip_source.h"

#include <climits>
#include <cstdint>
#include <memory>
#include <minizip/unzip.h>
#include <string>
#include <vector>

struct ZipReader {
    unzFile archive = nullptr;            // nullptr for an archive without entries
    ZipSourceFile* archiveFile = nullptr; // owned by `archive`
    uint64_t archiveSize = 0;
    uint64_t archivePrefix = 0; // bytes in front of the archive proper
    int32_t entryCount = 0;
    // The one record built last, and what extraction needs of its data.
    ZipEntry cachedEntry;
    int32_t cachedIndex = -1;
    ZipDataFacts cachedFacts;

    // Where minizip's walk stands (-1: unknown, restart from the first entry) and the first
    // entry the walk could not reach; later entries fail at once instead of re-walking.
    int32_t corePosition = -1;
    int32_t unreachableFrom = INT32_MAX;

    // Reused per entry: the raw name (a name is at most 65535 bytes), the central extra field
    // and the local extra field.
    std::vector<char> nameBuffer = std::vector<char>(65536 + 1);
    size_t cachedNameLength = 0; // of the cached entry's raw name in nameBuffer
    std::vector<unsigned char> centralExtra;
    std::vector<unsigned char> extraField;
    // The last DOS time converted, as the next entry usually carries the same one.
    uint32_t lastDosTime = 0;
    ZipFileTime lastDosFileTime = 0;

    // Allocated at the first extraction and kept until the reader is freed.
    std::unique_ptr<ZipDataCopier> copier;
    // The base directory entries are written below, and the way into it.
    ZipDirectories directories;
};
