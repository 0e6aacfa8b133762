#include "launcher/zip/zip_reader.h"

#include "launcher/zip/zip_attributes.h"
#include "launcher/zip/zip_names.h"
#include "launcher/zip/zip_reader_state.h"
#include "launcher/zip/zip_records.h"
#include "launcher/zip/zip_source.h"
#include "system/path.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <filesystem>

std::atomic<uint32_t> ZipLastError{ZipOk};

namespace {

// Reads the central record minizip's walk stands on, with its name and extra field, and the
// entry's local header. minizip's own reading of these leaves Zip64 values at 0xFFFFFFFF, so
// both records are read here: minizip only finds the archive and walks its directory.
uint32_t ReadCentralRecord(ZipReader& reader, ZipCentralRecord& record, size_t& nameLength) {
    const uint64_t at = unzGetOffset64(reader.archive) + reader.archivePrefix;
    std::array<unsigned char, kZipCentralRecordSize> fixed;
    if (!ReadZipSource(*reader.archiveFile, fixed.data(), fixed.size(), at) ||
        !ParseZipCentralRecord(fixed, record))
        return ZipErrHeader;
    const uint32_t rawSize = static_cast<uint32_t>(record.size);
    const uint32_t rawPackedSize = static_cast<uint32_t>(record.packedSize);
    const uint32_t rawOffset = static_cast<uint32_t>(record.localHeaderOffset);
    nameLength = record.nameLength;
    std::vector<unsigned char>& extra = reader.centralExtra;
    extra.resize(record.extraLength);
    if (!ReadZipSource(*reader.archiveFile,
                       reinterpret_cast<unsigned char*>(reader.nameBuffer.data()), nameLength,
                       at + kZipCentralRecordSize) ||
        !ReadZipSource(*reader.archiveFile, extra.data(), extra.size(),
                       at + kZipCentralRecordSize + nameLength) ||
        !ApplyZip64Extra(extra, rawSize, rawPackedSize, rawOffset, record))
        return ZipErrHeader;
    return ZipOk;
}

// Checks the local header against the central record, notes where the entry's data starts and
// reads the local extra field, which holds the timestamps we want.
uint32_t ReadLocalHeader(ZipReader& reader, const ZipCentralRecord& central, uint64_t& headerOffset,
                         uint64_t& dataOffset) {
    reader.extraField.clear();
    headerOffset = central.localHeaderOffset + reader.archivePrefix;
    std::array<unsigned char, kZipLocalHeaderSize> fixed;
    ZipLocalHeader local;
    if (headerOffset < central.localHeaderOffset ||
        !ReadZipSource(*reader.archiveFile, fixed.data(), fixed.size(), headerOffset) ||
        !ParseZipLocalHeader(fixed, local) || !ZipLocalHeaderAgrees(local, central))
        return ZipErrHeader;
    const uint64_t extraOffset = headerOffset + kZipLocalHeaderSize + local.nameLength;
    dataOffset = extraOffset + local.extraLength;
    reader.extraField.resize(local.extraLength);
    if (!ReadZipSource(*reader.archiveFile, reader.extraField.data(), local.extraLength,
                       extraOffset))
        return ZipErrRead;
    return ZipOk;
}

ZipFileTime CachedDosTime(ZipReader& reader, uint32_t dosTime) {
    if (reader.lastDosFileTime == 0 || reader.lastDosTime != dosTime) {
        reader.lastDosTime = dosTime;
        reader.lastDosFileTime = DosTimeToFileTime(dosTime);
    }
    return reader.lastDosFileTime;
}

// Moves minizip's current entry to `index` (0 <= index < entryCount): forward from where it
// stands, back to the first entry only when a lower index is asked for.
uint32_t PositionZipReader(ZipReader& reader, int32_t index) {
    if (index >= reader.unreachableFrom)
        return ZipErrHeader;
    if (reader.corePosition < 0 || reader.corePosition > index) {
        if (unzGoToFirstFile(reader.archive) != UNZ_OK) {
            reader.unreachableFrom = 0;
            return ZipErrHeader;
        }
        reader.corePosition = 0;
    }
    while (reader.corePosition < index) {
        if (unzGoToNextFile(reader.archive) != UNZ_OK) {
            // A damaged record: nothing after it can be found by walking.
            reader.unreachableFrom = reader.corePosition + 1;
            reader.corePosition = -1;
            return ZipErrHeader;
        }
        ++reader.corePosition;
    }
    return ZipOk;
}

} // namespace

ZipHandle* OpenZipFile(const std::wstring& path) {
    const auto file = platform::ToPath(path);
    const ZipSource source = file ? OpenZipSource(*file) : ZipSource{};
    if (!source.opened) {
        ZipLastError = ZipErrOpen;
        return nullptr;
    }
    tzset(); // entry times are local times: take the zone as it is now
    auto* reader = new ZipReader;
    reader->archive = source.archive;
    reader->archiveFile = source.file;
    reader->archiveSize = source.size;
    reader->archivePrefix = source.prefix;
    reader->entryCount = source.entryCount;
    std::error_code error;
    const auto cwd = std::filesystem::current_path(error);
    reader->directories.SetBase(error ? std::filesystem::path(".") : cwd);

    ZipLastError = ZipOk;
    return new ZipHandle{ZipHandleReading, reader};
}

uint32_t SetZipBaseDir(ZipHandle* handle, const std::wstring& dir) {
    uint32_t code = ZipOk;
    std::optional<std::filesystem::path> path;
    if (handle == nullptr || dir.empty())
        code = ZipErrBadArgument; // an empty directory would put entries below "/"
    else if (handle->kind != ZipHandleReading)
        code = ZipErrNotReading;
    else if (!(path = platform::ToPath(dir)))
        code = ZipErrOpen;
    if (code == ZipOk)
        handle->reader->directories.SetBase(std::move(*path));
    ZipLastError = code;
    return code;
}

uint32_t GetZipEntry(ZipReader* reader, int32_t index, ZipEntry* entry) {
    if (reader == nullptr || entry == nullptr || index < -1 || index >= reader->entryCount)
        return ZipErrBadArgument;
    if (index != -1 && index == reader->cachedIndex) {
        *entry = reader->cachedEntry;
        return ZipOk;
    }
    if (index == -1) {
        *entry = ZipEntry{};
        entry->number = reader->entryCount;
        return ZipOk;
    }

    if (const uint32_t code = PositionZipReader(*reader, index))
        return code;
    reader->cachedIndex = -1; // the buffers below are the cached entry's no longer
    ZipCentralRecord central;
    size_t nameLength = 0;
    if (const uint32_t code = ReadCentralRecord(*reader, central, nameLength))
        return code;
    uint64_t headerOffset = 0;
    uint64_t dataOffset = 0;
    if (const uint32_t code = ReadLocalHeader(*reader, central, headerOffset, dataOffset))
        return code;

    // A NUL inside the declared length would hide the rest of the name from every C string.
    const std::string_view rawName(reader->nameBuffer.data(), nameLength);
    if (rawName.find('\0') != std::string_view::npos)
        return ZipErrOpen;
    ZipEntry record;
    record.number = index;
    record.name = platform::NormaliseSeparators(SanitiseZipName(DecodeZipName(rawName)));
    record.attributes = ZipWindowsAttributes(central.externalAttributes, central.versionMadeBy);
    record.unixMode = ZipUnixMode(central.externalAttributes, central.versionMadeBy);
    // Sizes past INT64_MAX are no real file's; they stay out of reach of every check as the
    // largest size there is.
    record.packedSize = static_cast<int64_t>(std::min<uint64_t>(central.packedSize, INT64_MAX));
    record.size = static_cast<int64_t>(std::min<uint64_t>(central.size, INT64_MAX));
    const ZipFileTime dosTime = CachedDosTime(*reader, central.dosTime);
    record.accessTime = dosTime;
    record.creationTime = dosTime;
    record.writeTime = dosTime;
    ApplyExtendedTimestamp(reader->extraField, record);

    reader->cachedFacts =
        ZipDataFacts{central.method, central.flags, central.crc, central.packedSize,
                     central.size,   dataOffset,    headerOffset};
    reader->cachedEntry = record;
    reader->cachedIndex = index;
    reader->cachedNameLength = nameLength;
    *entry = std::move(record);
    return ZipOk;
}

uint32_t CloseZipFile(ZipHandle* handle) {
    uint32_t code = ZipOk;
    if (handle == nullptr)
        code = ZipErrBadArgument;
    else if (handle->kind != ZipHandleReading)
        code = ZipErrNotReading;
    ZipLastError = code;
    if (code != ZipOk)
        return code;
    FreeZipReader(handle->reader);
    delete handle;
    return ZipOk;
}

void FreeZipReader(ZipReader* reader) {
    if (reader == nullptr)
        return;
    if (reader->archive != nullptr)
        unzClose(reader->archive);
    delete reader;
}
