#include "launcher/zip/unzip_package.h"

#include "launcher/log.h"
#include "launcher/zip/zip_extract.h"
#include "launcher/zip/zip_failure.h"
#include "launcher/zip/zip_package_check.h"
#include "launcher/zip/zip_reader.h"

bool UnzipPackage(const std::wstring& path, bool isTre,
                  const std::function<void(float)>& onProgress) {
    ZipHandle* handle = OpenZipFile(path + (isTre ? L".tre" : L".upd"));
    if (handle == nullptr)
        return false; // the caller logs the failed package
    if (const uint32_t code = SetZipBaseDir(handle, path)) {
        CloseZipFile(handle);
        ZipLastError = code;
        return false;
    }

    // A package that cannot be unpacked whole is refused before its first byte is written.
    if (const uint32_t code = CheckZipPackage(*handle->reader)) {
        CloseZipFile(handle);
        ZipLastError = code;
        return false;
    }

    ZipEntry entry;
    ZipLastError = GetZipEntry(handle->reader, -1, &entry);
    const int32_t count = entry.number;
    uint32_t firstFailure = ZipOk;
    int32_t failures = 0;
    for (int32_t i = 0; i < count; ++i) {
        uint32_t code = GetZipEntry(handle->reader, i, &entry);
        // Without its record an entry has no name to be written under.
        if (code == ZipOk)
            code = ExtractZipEntry(handle->reader, i, entry.name);
        ZipLastError = code;
        if (code != ZipOk && failures++ == 0) {
            firstFailure = code;
            // One record for the first failure: a hostile archive must not flood the log.
            LOG_ERROR(L": package %s: entry %d not unpacked, code 0x%x", path.c_str(), i, code);
            LOG_ERROR(L": package %s: %s", path.c_str(),
                      DescribeZipFailure(*handle->reader, i, code).c_str());
        }
        if (onProgress)
            onProgress(static_cast<float>(i + 1) / static_cast<float>(count) * 100.0f);
    }
    CloseZipFile(handle);
    if (failures > 1)
        LOG_ERROR(L": package %s: %d of %d entries not unpacked", path.c_str(), failures, count);
    ZipLastError = firstFailure;
    return firstFailure == ZipOk;
}
