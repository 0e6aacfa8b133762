#include "launcher/zip/zip_extract.h"

#include "launcher/zip/zip_attributes.h"
#include "launcher/zip/zip_names.h"
#include "launcher/zip/zip_output.h"
#include "launcher/zip/zip_reader_state.h"

#include <sys/stat.h>

namespace {

constexpr uint32_t kFlagEncrypted = 0x1;
constexpr uint32_t kFlagStrongEncryption = 0x40;

bool IsSymbolicLink(const ZipEntry& entry) {
    return (entry.unixMode & S_IFMT) == S_IFLNK;
}

// Refuses what cannot be written as a plain copy of the declared bytes, before any file exists.
uint32_t CheckWritable(const ZipDataFacts& facts) {
    if (facts.flags & (kFlagEncrypted | kFlagStrongEncryption))
        return ZipErrEncrypted;
    if (facts.method == kZipMethodStored && facts.packedSize != facts.size)
        return ZipErrData;
    if (!IsUnpackedMethod(facts.method))
        return ZipErrData;
    return ZipOk;
}

} // namespace

uint32_t ExtractZipEntry(ZipReader* reader, int32_t index, const std::wstring& target) {
    if (reader == nullptr || index < 0 || index >= reader->entryCount)
        return ZipErrBadArgument;
    // The record, and where the data lies, usually come from the cache of the last GetZipEntry.
    ZipEntry entry;
    if (const uint32_t code = GetZipEntry(reader, index, &entry))
        return code;
    const ZipDataFacts facts = reader->cachedFacts;

    const auto resolved = ResolveZipTarget(target);
    if (!resolved || IsSymbolicLink(entry))
        return ZipErrOpen;
    const bool isDirectory = (entry.attributes & ZipAttrDirectory) || resolved->isDirectory;
    const std::vector<std::string> levels = ZipTargetLevels(*resolved);
    if (!reader->directories.CanHold(levels, !isDirectory))
        return ZipErrOpen;
    if (isDirectory)
        return reader->directories.Open(levels) >= 0 ? ZipOk : ZipErrOpen;
    if (const uint32_t code = CheckWritable(facts))
        return code;

    const int dirFd = reader->directories.Open(resolved->directories);
    if (dirFd < 0)
        return ZipErrOpen;
    ZipOutputFile out;
    if (!out.Create(dirFd, ZipFileMode(entry)))
        return ZipErrOpen;
    if (!reader->copier)
        reader->copier = std::make_unique<ZipDataCopier>();

    const uint32_t code =
        reader->copier->Copy(*reader->archiveFile, reader->archiveSize, facts, out);
    if (code != ZipOk)
        return code;
    // Linux keeps no creation time; last access and last write are set.
    const timespec times[2] = {FileTimeToTimespec(entry.accessTime),
                               FileTimeToTimespec(entry.writeTime)};
    return out.Commit(resolved->file, times);
}
