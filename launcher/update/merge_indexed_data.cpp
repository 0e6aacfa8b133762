#include <algorithm>
#include <vector>

#include "launcher/update/index_image.h"
#include "launcher/update/merge.h"
#include "launcher/update/merge_file.h"

namespace {

// Large enough that blocks move in few system calls, small beside the indexes the merge holds.
constexpr size_t kReadWindow = size_t{256} << 10;
constexpr size_t kAppendBatch = size_t{1} << 20;

// Package blocks through a read-ahead window: an increment's data file holds its blocks mostly
// in entry order, so most blocks come from memory instead of one read each.
class BlockReader {
public:
    BlockReader(const MergeFile& file, uint64_t length) : file_(file), length_(length) {}

    // size (at most kReadWindow) bytes at offset, valid until the next call; the caller has
    // checked that they lie inside the file. Null when the read falls short.
    const uint8_t* View(uint64_t offset, size_t size) {
        if (offset >= start_ && offset + size <= start_ + filled_)
            return window_.data() + (offset - start_);
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kReadWindow, length_ - offset));
        window_.resize(std::max(window_.size(), want));
        filled_ = 0;
        if (!file_.ReadAt(window_.data(), want, offset))
            return nullptr;
        start_ = offset;
        filled_ = want;
        return window_.data();
    }

private:
    const MergeFile& file_;
    uint64_t length_;
    std::vector<uint8_t> window_;
    uint64_t start_ = 0;
    size_t filled_ = 0;
};

// Appends to the installed data file in large writes. End() is where the next block lands, as
// if every earlier block had been written on its own. Pieces are at most kReadWindow bytes.
class Appender {
public:
    Appender(MergeFile& file, uint64_t end, uint64_t total) : file_(file), written_(end) {
        pending_.reserve(static_cast<size_t>(std::min<uint64_t>(total, kAppendBatch)));
    }

    uint64_t End() const { return written_ + pending_.size(); }

    bool Add(const uint8_t* data, size_t size) {
        if (pending_.size() + size > kAppendBatch && !Flush())
            return false;
        pending_.insert(pending_.end(), data, data + size);
        return true;
    }

    bool Flush() {
        if (pending_.empty())
            return true;
        if (!file_.WriteAt(pending_.data(), pending_.size(), written_))
            return false;
        written_ += pending_.size();
        pending_.clear();
        return true;
    }

private:
    MergeFile& file_;
    uint64_t written_;
    std::vector<uint8_t> pending_;
};

// Hands a package block to sink(bytes, size) in window-sized pieces.
template <typename Sink>
bool ForEachPiece(BlockReader& reader, const IndexEntry& block, Sink&& sink) {
    uint64_t offset = block.offset;
    uint64_t left = block.size;
    while (left > 0) {
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(left, kReadWindow));
        const uint8_t* bytes = reader.View(offset, piece);
        if (bytes == nullptr || !sink(bytes, piece))
            return false;
        offset += piece;
        left -= piece;
    }
    return true;
}

// Whether the installed data file really holds an entry's block. 0xFFFFFFFF marks a block the
// in-place merge left elsewhere; any other block past the end comes from a damaged index.
bool Held(const IndexEntry& entry, uint64_t dataLength) {
    return entry.offset != kBlockNotHeld && uint64_t{entry.offset} + entry.size <= dataLength;
}

bool AppendsBlock(const PatchIndexEntry& patch, const TrackedIndex& installed,
                  uint64_t dataLength) {
    if (patch.slot >= static_cast<uint32_t>(installed.Count()))
        return true;
    const IndexEntry old = installed.Entry(patch.slot).entry;
    return patch.entry.size > old.size || !Held(old, dataLength);
}

// Flags each package entry that a later one naming the same installed entry overrides.
std::vector<bool> Superseded(const PlainIndex& package, uint32_t installedCount) {
    const auto& entries = package.Entries();
    std::vector<bool> superseded(entries.size(), false);
    std::vector<bool> named(installedCount, false);
    for (size_t i = entries.size(); i-- > 0;) {
        const uint32_t slot = entries[i].slot;
        if (slot >= installedCount)
            continue;
        superseded[i] = named[slot];
        named[slot] = true;
    }
    return superseded;
}

} // namespace

bool MergeIndexedData(const PlainIndex& package, TrackedIndex& installed) {
    MergeFile packageData, installedData, installedIndex;
    if (!packageData.Open(package.Name(), false) || !installedData.Open(installed.Name(), true) ||
        !installedIndex.Open(installed.Name() + ".i", true))
        return false;
    const auto packageLength = packageData.Length();
    const auto dataLength = installedData.Length();
    const auto indexLength = installedIndex.Length();
    const auto count = static_cast<uint32_t>(installed.Count());
    if (!packageLength || !dataLength || !indexLength ||
        *indexLength < kIndexHeaderSize + uint64_t{count} * kIndexEntrySize)
        return false;

    // Check everything before the first write, so a refused increment changes nothing.
    const std::vector<bool> superseded = Superseded(package, count);
    const auto& entries = package.Entries();
    uint64_t appended = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const IndexEntry& block = entries[i].entry;
        if (uint64_t{block.offset} + block.size > *packageLength)
            return false;
        if (!superseded[i] && AppendsBlock(entries[i], installed, *dataLength))
            appended += block.size;
    }
    // Appended blocks must stay addressable by a 32-bit offset that is not the 0xFFFFFFFF mark.
    if (appended > 0 && *dataLength + appended >= kBlockNotHeld)
        return false;

    BlockReader reader(packageData, *packageLength);
    Appender appender(installedData, *dataLength, appended);
    uint64_t overwriteAt = 0;
    const auto append = [&](const uint8_t* bytes, size_t size) {
        return appender.Add(bytes, size);
    };
    const auto overwrite = [&](const uint8_t* bytes, size_t size) {
        if (!installedData.WriteAt(bytes, size, overwriteAt))
            return false;
        overwriteAt += size;
        return true;
    };
    IndexImage image(installed);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (superseded[i])
            continue;
        const PatchIndexEntry& patch = entries[i];
        IndexEntry updated = patch.entry;
        if (AppendsBlock(patch, installed, *dataLength)) {
            updated.offset = static_cast<uint32_t>(appender.End());
            if (!ForEachPiece(reader, patch.entry, append))
                return false;
        } else {
            // A block no larger than the old one overwrites its start; the entry keeps its
            // offset and the rest of the old block stays, referenced by nothing.
            updated.offset = installed.Entry(patch.slot).entry.offset;
            overwriteAt = updated.offset;
            if (!ForEachPiece(reader, patch.entry, overwrite))
                return false;
        }
        if (patch.slot >= count)
            image.Append(updated);
        else
            image.Set(patch.slot, updated);
    }
    // Blocks reach the data file before the index points at them.
    return appender.Flush() && image.WriteTo(installedIndex);
}
