#include "launcher/update/index_file.h"

#include <algorithm>
#include <optional>

#include "launcher/update/merge_file.h"

namespace {

uint16_t Get16(const uint8_t* in) {
    return static_cast<uint16_t>(in[0] | in[1] << 8);
}

void Put16(uint16_t value, uint8_t* out) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint32_t value, uint8_t* out) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Entries are read a slice at a time so the loader's scratch memory stays small.
constexpr size_t kEntriesPerRead = 16384;

// The number of whole entries of entrySize bytes after the header of an open index. The count
// comes from the real file length, so nothing is allocated or read beyond it. An index of 4 GiB
// or more is refused: its entries could not be counted in 32 bits.
std::optional<uint64_t> CountEntries(const MergeFile& file, uint64_t entrySize) {
    const auto length = file.Length();
    uint8_t header[kIndexHeaderSize];
    if (!length || *length < kIndexHeaderSize || *length > UINT32_MAX ||
        !file.ReadAt(header, sizeof header, 0))
        return std::nullopt;
    return (*length - kIndexHeaderSize) / entrySize;
}

// Reads every whole entry after the header: reserve(count) first, then decode(bytes, position)
// for each entry in file order.
template <typename Reserve, typename Decode>
bool ReadEntries(const wxString& path, uint64_t entrySize, Reserve&& reserve, Decode&& decode) {
    MergeFile file;
    if (!file.Open(path, false))
        return false;
    const auto count = CountEntries(file, entrySize);
    if (!count)
        return false;
    reserve(static_cast<size_t>(*count));
    std::vector<uint8_t> slice(std::min<uint64_t>(*count, kEntriesPerRead) * entrySize);
    for (uint64_t first = 0; first < *count; first += kEntriesPerRead) {
        const uint64_t n = std::min<uint64_t>(*count - first, kEntriesPerRead);
        const uint64_t position = kIndexHeaderSize + first * entrySize;
        if (!file.ReadAt(slice.data(), n * entrySize, position))
            return false; // the file shrank since its length was taken
        for (uint64_t i = 0; i < n; ++i)
            decode(slice.data() + i * entrySize, position + i * entrySize);
    }
    return true;
}

} // namespace

void EncodeIndexEntry(const IndexEntry& entry, uint8_t* out) {
    Put32(entry.offset, out);
    Put32(entry.size, out + 4);
    Put16(entry.attr1, out + 8);
    Put16(entry.attr2, out + 10);
    Put32(entry.attr3, out + 12);
    Put32(entry.attr4, out + 16);
}

IndexEntry DecodeIndexEntry(const uint8_t* in) {
    return IndexEntry{LoadLittle32(in), LoadLittle32(in + 4),  Get16(in + 8),
                      Get16(in + 10),   LoadLittle32(in + 12), LoadLittle32(in + 16)};
}

bool TrackedIndex::LoadForDataFile() {
    return LoadFrom(name_ + ".i");
}

bool TrackedIndex::Load() {
    return LoadFrom(name_);
}

bool TrackedIndex::LoadFrom(const wxString& path) {
    bytes_.clear();
    MergeFile file;
    const auto count = file.Open(path, false) ? CountEntries(file, kIndexEntrySize) : std::nullopt;
    if (!count)
        return false;
    // Read straight into place: no second copy of the entries, however many there are.
    bytes_.resize(static_cast<size_t>(*count * kIndexEntrySize));
    if (!file.ReadAt(bytes_.data(), bytes_.size(), kIndexHeaderSize)) {
        bytes_ = {}; // the file shrank since its length was taken
        return false;
    }
    return true;
}

TrackedIndexEntry TrackedIndex::Entry(uint32_t i) const {
    return TrackedIndexEntry{DecodeIndexEntry(bytes_.data() + i * kIndexEntrySize),
                             kIndexHeaderSize + uint64_t{i} * kIndexEntrySize};
}

bool PlainIndex::LoadForDataFile() {
    return LoadFrom(name_ + ".i");
}

bool PlainIndex::Load() {
    return LoadFrom(name_);
}

bool PlainIndex::LoadFrom(const wxString& path) {
    entries_.clear();
    const bool loaded = ReadEntries(
        path, kPatchIndexEntrySize, [&](size_t count) { entries_.reserve(count); },
        [&](const uint8_t* in, uint64_t) {
            entries_.push_back(PatchIndexEntry{DecodeIndexEntry(in), LoadLittle32(in + 20)});
        });
    if (!loaded)
        entries_ = {};
    return loaded;
}

bool LoadIndexPair(PlainIndex* plain, TrackedIndex* tracked) {
    if (plain == nullptr || tracked == nullptr)
        return false;
    return tracked->LoadForDataFile() && plain->LoadForDataFile();
}
