#include "launcher/update/index_image.h"

#include "launcher/update/merge_file.h"

namespace {
// Changed entries closer than this are written as one stretch, unchanged entries between them
// included (they are rewritten with the bytes they hold): a few KiB more copied costs far less
// than another system call.
constexpr size_t kMaxGapEntries = 256;
} // namespace

IndexImage::IndexImage(const TrackedIndex& index)
    : loaded_(static_cast<uint32_t>(index.Count())), bytes_(loaded_ * kIndexEntrySize),
      changed_(loaded_, 0) {
    uint8_t* out = bytes_.data();
    for (const TrackedIndexEntry& tracked : index.Entries()) {
        EncodeIndexEntry(tracked.entry, out);
        out += kIndexEntrySize;
    }
}

void IndexImage::Set(uint32_t entry, const IndexEntry& value) {
    EncodeIndexEntry(value, bytes_.data() + entry * kIndexEntrySize);
    changed_[entry] = 1;
}

void IndexImage::Append(const IndexEntry& value) {
    bytes_.resize(bytes_.size() + kIndexEntrySize);
    EncodeIndexEntry(value, bytes_.data() + bytes_.size() - kIndexEntrySize);
    changed_.push_back(1);
}

bool IndexImage::WriteTo(MergeFile& file) const {
    const auto length = file.Length();
    if (!length || *length < kIndexHeaderSize + uint64_t{loaded_} * kIndexEntrySize)
        return false;
    const size_t count = changed_.size();
    size_t entry = 0;
    while (entry < count) {
        if (!changed_[entry]) {
            ++entry;
            continue;
        }
        const size_t first = entry;
        size_t end = entry + 1; // one past the last changed entry of the stretch
        for (size_t next = end; next < count && next - end <= kMaxGapEntries; ++next) {
            if (changed_[next])
                end = next + 1;
        }
        const size_t from = first * kIndexEntrySize;
        if (!file.WriteAt(bytes_.data() + from, (end - first) * kIndexEntrySize,
                          kIndexHeaderSize + from))
            return false;
        entry = end;
    }
    return true;
}
