#include "launcher/zip/zip_package_check.h"

#include "launcher/log.h"
#include "launcher/zip/zip_names.h"
#include "launcher/zip/zip_reader_state.h"

#include <algorithm>
#include <climits>
#include <sys/statvfs.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// Beyond the files' own blocks: room for the install that copies them, the log and the system.
constexpr uint64_t kSpareBytes = 1024 * 1024;
constexpr uint64_t kSpareShare = 16; // and one sixteenth of the declared size on top
constexpr size_t kLoggedNameLength = 200;

struct LocalRange {
    uint64_t start = 0; // the local header
    uint64_t end = 0;   // just after the packed data
    int32_t index = 0;
};

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

std::wstring ShortName(const std::wstring& name) {
    return name.size() <= kLoggedNameLength ? name : name.substr(0, kLoggedNameLength) + L"...";
}

// An entry's name as the archive stores it, bytes that are not printable ASCII as "\xNN", so
// two names that decode alike can be told apart in the log.
std::wstring RawName(ZipReader& reader, int32_t index) {
    ZipEntry entry;
    if (GetZipEntry(&reader, index, &entry) != ZipOk)
        return L"?";
    std::wstring out;
    for (const char c : std::string_view(reader.nameBuffer.data(), reader.cachedNameLength)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out += static_cast<wchar_t>(byte);
        } else {
            static constexpr wchar_t kHex[] = L"0123456789abcdef";
            out += {L'\\', L'x', kHex[byte >> 4], kHex[byte & 15]};
        }
        if (out.size() >= kLoggedNameLength)
            return out + L"...";
    }
    return out;
}

// The file system the base is on, or will be on once it is created.
bool QueryBaseFileSystem(std::filesystem::path path, struct statvfs& result) {
    for (;;) {
        if (statvfs(path.c_str(), &result) == 0)
            return true;
        if (!path.has_relative_path())
            return false;
        path = path.parent_path();
    }
}

uint32_t CheckOverlap(std::vector<LocalRange>& ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const LocalRange& a, const LocalRange& b) { return a.start < b.start; });
    for (size_t i = 1; i < ranges.size(); ++i) {
        if (ranges[i].start < ranges[i - 1].end) {
            LOG_ERROR(L": package refused: entries %d and %d overlap in the archive",
                      ranges[i - 1].index, ranges[i].index);
            return ZipErrHeader;
        }
    }
    return ZipOk;
}

uint32_t CheckSpace(const struct statvfs& fs, uint64_t bytes, uint64_t files) {
    const uint64_t needed = SaturatingAdd(SaturatingAdd(bytes, bytes / kSpareShare), kSpareBytes);
    const uint64_t available = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
    // File systems without a fixed number of files report none at all.
    const bool slotsKnown = fs.f_files != 0;
    if (needed <= available && (!slotsKnown || files <= fs.f_favail))
        return ZipOk;
    LOG_ERROR(L": package refused: it needs %llu bytes and %llu files, the disk has %llu "
              L"bytes and %llu files free",
              static_cast<unsigned long long>(needed), static_cast<unsigned long long>(files),
              static_cast<unsigned long long>(available),
              static_cast<unsigned long long>(slotsKnown ? fs.f_favail : 0));
    return ZipErrWrite;
}

} // namespace

uint32_t CheckZipPackage(ZipReader& reader) {
    if (reader.entryCount == 0)
        return ZipOk; // writes nothing, so it fits anywhere
    struct statvfs fs {};
    // Without a file system to measure against, a full disk still fails the writes cleanly.
    const bool measured = QueryBaseFileSystem(reader.directories.base(), fs) && fs.f_frsize > 0;
    const uint64_t block = measured ? fs.f_frsize : 4096;
    std::vector<LocalRange> ranges;
    uint64_t bytes = 0;
    uint64_t files = 0;
    std::unordered_map<std::string, int32_t> targets; // each file's path, to its first entry
    ZipEntry entry;
    for (int32_t i = 0; i < reader.entryCount; ++i) {
        if (GetZipEntry(&reader, i, &entry) != ZipOk)
            continue;
        const ZipDataFacts& facts = reader.cachedFacts;
        ranges.push_back(
            {facts.headerOffset, SaturatingAdd(facts.dataOffset, facts.packedSize), i});
        const auto target = ResolveZipTarget(entry.name);
        if (!target)
            continue;
        const std::vector<std::string> levels = ZipTargetLevels(*target);
        if (!reader.directories.CanHold(levels, !target->isDirectory)) {
            LOG_ERROR(L": package refused: entry %d is too deep or too long: %s", i,
                      ShortName(entry.name).c_str());
            LOG_ERROR(L": package refused: entry %d has %llu directory levels; at most "
                      L"%llu directory levels, %d bytes per name and %d bytes per whole path fit "
                      L"below the package directory",
                      i, static_cast<unsigned long long>(target->directories.size()),
                      static_cast<unsigned long long>(kMaxZipDepth), NAME_MAX, PATH_MAX);
            return ZipErrOpen;
        }
        // Names that differ only in bytes that are not UTF-8 decode alike; one file would
        // silently replace the other.
        if (!(entry.attributes & ZipAttrDirectory) && !target->isDirectory) {
            std::string key;
            for (const std::string& level : levels)
                key += level + '/';
            const auto [first, added] = targets.try_emplace(std::move(key), i);
            if (!added) {
                LOG_ERROR(L": package refused: entries %d (%s) and %d (%s) are both "
                          L"written to %s; the package must name each file once, in UTF-8",
                          first->second, RawName(reader, first->second).c_str(), i,
                          RawName(reader, i).c_str(), ShortName(entry.name).c_str());
                return ZipErrOpen;
            }
        }
        // Every entry takes a file slot, its size rounded up to whole blocks, and a block more
        // for its directory entry and metadata.
        ++files;
        const auto size = static_cast<uint64_t>(std::max<int64_t>(entry.size, 0));
        bytes = SaturatingAdd(bytes, SaturatingAdd(size / block * block, 2 * block));
    }
    if (const uint32_t code = CheckOverlap(ranges))
        return code;
    return measured ? CheckSpace(fs, bytes, files) : ZipOk;
}
