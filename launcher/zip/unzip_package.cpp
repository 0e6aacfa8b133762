#include "launcher/zip/unzip_package.h"

#include "launcher/update/progress.h"
#include "launcher/zip/zip_extract.h"
#include "launcher/zip/zip_reader.h"

bool UnzipPackage(const std::wstring& path, bool isTre) {
    ZipHandle* handle = OpenZipFile(path + (isTre ? L".tre" : L".upd"));
    if (handle == nullptr)
        return false;
    if (const uint32_t code = SetZipBaseDir(handle, path)) {
        CloseZipFile(handle);
        ZipLastError = code;
        return false;
    }

    ZipEntry entry;
    ZipLastError = GetZipEntry(handle->reader, -1, &entry);
    const int32_t count = entry.number;
    uint32_t firstFailure = ZipOk;
    for (int32_t i = 0; i < count; ++i) {
        uint32_t code = GetZipEntry(handle->reader, i, &entry);
        // Without its record an entry has no name to be written under.
        if (code == ZipOk)
            code = ExtractZipEntry(handle->reader, i, entry.name);
        ZipLastError = code;
        if (firstFailure == ZipOk)
            firstFailure = code;
        ShowUpdateProgress(static_cast<float>(i + 1) / static_cast<float>(count) * 100.0f);
    }
    CloseZipFile(handle);
    ZipLastError = firstFailure;
    return firstFailure == ZipOk;
}
