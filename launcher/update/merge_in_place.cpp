#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <vector>

#include "launcher/log.h"
#include "launcher/update/index_file.h"
#include "launcher/update/merge.h"
#include "launcher/update/merge_file.h"
#include "system/atomic_replace.h"
#include "system/file_io.h"
#include "system/path.h"

// The merge reads the package's entries and the stretch of installed entries they replace,
// patches that stretch in memory and writes it back in one write, with the appended entries in
// a second: about the cost of reading, patching and writing the index once, and never more
// memory than the two indexes' entries.
namespace {

// The length of an open index, when it can be one: a whole header, and below 4 GiB so its
// entries can be counted in 32 bits.
std::optional<uint64_t> IndexLength(const MergeFile& file) {
    const auto length = file.Length();
    if (!length || *length < kIndexHeaderSize || *length > UINT32_MAX)
        return std::nullopt;
    return length;
}

// Marks the 20-byte entry at entry as not held locally: its offset field is the first.
void MarkNotHeld(uint8_t* entry) {
    std::memset(entry, 0xFF, 4);
}

// No installed index yet: the package's file becomes it, read as an installed index (20-byte
// entries), with every entry marked as not held, through one atomic replace. A file too short
// to be an index is refused before anything is written.
bool InstallFromPackage(const wxString& source, const wxString& destination) {
    MergeFile package;
    const auto target = platform::ToPath(destination.ToStdWstring());
    if (!target || !package.Open(source, false))
        return false;
    const auto length = IndexLength(package);
    const auto mode = package.Mode();
    if (!length || !mode)
        return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(*length));
    if (!package.ReadAt(bytes.data(), bytes.size(), 0))
        return false;
    for (size_t at = kIndexHeaderSize; at + kIndexEntrySize <= bytes.size(); at += kIndexEntrySize)
        MarkNotHeld(bytes.data() + at);
    platform::AtomicFileWriter writer;
    return writer.Begin(*target, *mode & 0777) &&
           platform::WriteAll(writer.fd(), bytes.data(), bytes.size()) && writer.Commit();
}

bool MergeIndexInPlace(const wxString& source, const wxString& destination) {
    if (!IsRegularFile(destination))
        return InstallFromPackage(source, destination);
    MergeFile package;
    MergeFile index;
    if (!IsRegularFile(source) || !package.Open(source, false))
        return false;
    const auto packageLength = IndexLength(package);
    if (!packageLength || !index.Open(destination, true))
        return false;
    const auto indexLength = IndexLength(index);
    if (!indexLength)
        return false;
    const uint64_t count = (*indexLength - kIndexHeaderSize) / kIndexEntrySize;
    const size_t patches =
        static_cast<size_t>((*packageLength - kIndexHeaderSize) / kPatchIndexEntrySize);
    std::vector<uint8_t> patch(patches * kPatchIndexEntrySize);
    if (!package.ReadAt(patch.data(), patch.size(), kIndexHeaderSize))
        return false;

    // The stretch of installed entries the package replaces.
    uint64_t low = count;
    uint64_t high = 0;
    for (size_t i = 0; i < patches; ++i) {
        const uint32_t slot = LoadLittle32(patch.data() + i * kPatchIndexEntrySize + 20);
        if (slot < count) {
            low = std::min<uint64_t>(low, slot);
            high = std::max<uint64_t>(high, slot);
        }
    }
    const bool replaces = low < count;
    std::vector<uint8_t> stretch(replaces ? (high - low + 1) * kIndexEntrySize : 0);
    const uint64_t stretchAt = kIndexHeaderSize + low * kIndexEntrySize;
    if (replaces && !index.ReadAt(stretch.data(), stretch.size(), stretchAt))
        return false; // the index shrank since its length was taken

    // Entries are patched in package order, so a slot named twice ends with the last one's
    // fields. Appended entries are gathered at the front of the package's buffer: each takes
    // 20 of the 24 bytes already read, so it never overtakes the entries still to be read.
    size_t appended = 0;
    for (size_t i = 0; i < patches; ++i) {
        const uint8_t* entry = patch.data() + i * kPatchIndexEntrySize;
        const uint32_t slot = LoadLittle32(entry + 20);
        uint8_t* out = slot < count ? stretch.data() + (slot - low) * kIndexEntrySize
                                    : patch.data() + appended++ * kIndexEntrySize;
        std::memmove(out, entry, kIndexEntrySize);
        MarkNotHeld(out);
    }
    return (!replaces || index.WriteAt(stretch.data(), stretch.size(), stretchAt)) &&
           (appended == 0 || index.WriteAt(patch.data(), appended * kIndexEntrySize,
                                           kIndexHeaderSize + count * kIndexEntrySize));
}

} // namespace

// A refused or failed increment stops the install; the record says which index it was.
bool MergeDataFilesInPlace(const wxString& source, const wxString& destination) {
    const bool merged = MergeIndexInPlace(source, destination);
    if (!merged)
        LOG_ERROR(L": merging %s into %s failed: an index could not be read or written! ", source,
                  destination);
    return merged;
}
