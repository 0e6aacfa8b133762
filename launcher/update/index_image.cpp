#include "launcher/update/index_image.h"

#include "launcher/update/merge_file.h"

namespace {
// Changed entries closer than this are written as one stretch, unchanged entries between them
// included (they are rewritten with the bytes they hold): a few KiB more copied costs far less
// than another system call.
constexpr size_t kMaxGapEntries = 256;
} // namespace

IndexImage::IndexImage(TrackedIndex& index)
    : bytes_(index.Bytes()), loaded_(static_cast<uint32_t>(index.Count())),
      changed_(loaded_, false) {}

void IndexImage::Set(uint32_t entry, const IndexEntry& value) {
    EncodeIndexEntry(value, bytes_.data() + entry * kIndexEntrySize);
    changed_[entry] = true;
}

void IndexImage::Append(const IndexEntry& value) {
    appended_.resize(appended_.size() + kIndexEntrySize);
    EncodeIndexEntry(value, appended_.data() + appended_.size() - kIndexEntrySize);
}

bool IndexImage::WriteTo(MergeFile& file) const {
    const auto length = file.Length();
    const uint64_t loadedEnd = kIndexHeaderSize + uint64_t{loaded_} * kIndexEntrySize;
    if (!length || *length < loadedEnd)
        return false;
    size_t entry = 0;
    while (entry < loaded_) {
        if (!changed_[entry]) {
            ++entry;
            continue;
        }
        const size_t first = entry;
        size_t end = entry + 1; // one past the last changed entry of the stretch
        for (size_t next = end; next < loaded_ && next - end <= kMaxGapEntries; ++next) {
            if (changed_[next])
                end = next + 1;
        }
        const size_t from = first * kIndexEntrySize;
        if (!file.WriteAt(bytes_.data() + from, (end - first) * kIndexEntrySize,
                          kIndexHeaderSize + from))
            return false;
        entry = end;
    }
    return appended_.empty() || file.WriteAt(appended_.data(), appended_.size(), loadedEnd);
}
