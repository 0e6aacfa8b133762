#include "launcher/zip/zip_reader.h"

#include "launcher/zip/zip_attributes.h"
#include "launcher/zip/zip_names.h"
#include "launcher/zip/zip_reader_state.h"
#include "launcher/zip/zip_source.h"
#include "system/path.h"

#include <ctime>
#include <filesystem>

std::atomic<uint32_t> ZipLastError{ZipOk};

namespace {

// The fixed part of a local header; the name and the extra field follow it.
constexpr uint64_t kLocalHeaderSize = 30;

// Runs minizip's check of the local header against the central record (done when the entry
// is opened), notes where the entry's data starts and reads the local extra field, which
// holds the timestamps we want. The entry is closed again: no entry stays open between calls.
uint32_t ReadLocalHeader(ZipReader& reader, uint64_t& dataOffset) {
    reader.extraField.clear();
    int method = 0;
    if (unzOpenCurrentFile2(reader.archive, &method, nullptr, 1) != UNZ_OK)
        return ZipErrHeader;
    dataOffset = unzGetCurrentFileZStreamPos64(reader.archive);
    uint32_t code = ZipOk;
    const int size = unzGetLocalExtrafield(reader.archive, nullptr, 0);
    if (size < 0) {
        code = ZipErrRead;
    } else if (size > 0) {
        reader.extraField.resize(static_cast<size_t>(size));
        if (unzGetLocalExtrafield(reader.archive, reader.extraField.data(),
                                  static_cast<unsigned>(size)) != size)
            code = ZipErrRead;
    }
    unzCloseCurrentFile(reader.archive);
    return code;
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
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(reader->archive, &info, reader->nameBuffer.data(),
                                reader->nameBuffer.size(), nullptr, 0, nullptr, 0) != UNZ_OK)
        return ZipErrHeader;
    uint64_t dataOffset = 0;
    if (const uint32_t code = ReadLocalHeader(*reader, dataOffset))
        return code;

    // A NUL inside the declared length would hide the rest of the name from every C string.
    const std::string_view rawName(reader->nameBuffer.data(), info.size_filename);
    if (rawName.find('\0') != std::string_view::npos)
        return ZipErrOpen;
    ZipEntry record;
    record.number = index;
    record.name = platform::NormaliseSeparators(SanitiseZipName(DecodeZipName(rawName)));
    const auto external = static_cast<uint32_t>(info.external_fa);
    const auto madeBy = static_cast<uint16_t>(info.version);
    record.attributes = ZipWindowsAttributes(external, madeBy);
    record.unixMode = ZipUnixMode(external, madeBy);
    record.packedSize = static_cast<int64_t>(info.compressed_size);
    record.size = static_cast<int64_t>(info.uncompressed_size);
    const ZipFileTime dosTime = CachedDosTime(*reader, static_cast<uint32_t>(info.dosDate));
    record.accessTime = dosTime;
    record.creationTime = dosTime;
    record.writeTime = dosTime;
    ApplyExtendedTimestamp(reader->extraField, record);

    reader->cachedFacts = ZipDataFacts{static_cast<uint32_t>(info.compression_method),
                                       static_cast<uint32_t>(info.flag),
                                       static_cast<uint32_t>(info.crc),
                                       info.compressed_size,
                                       info.uncompressed_size,
                                       dataOffset,
                                       dataOffset - kLocalHeaderSize - info.size_filename -
                                           reader->extraField.size()};
    reader->cachedEntry = record;
    reader->cachedIndex = index;
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
