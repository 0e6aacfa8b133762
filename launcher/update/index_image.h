#pragma once
// An installed index's entries as a merge leaves them. The merge patches the loaded entries in
// place, in the order its steps would write them, and WriteTo puts the changed stretches back in
// a few large writes instead of one small write per field. The header is never written.
#include <cstdint>
#include <vector>

#include "launcher/update/index_file.h"

class MergeFile;

class IndexImage {
public:
    // Works on index's own bytes, so the entries are held once. The login merge decides each
    // installed entry once, so an entry it has not set yet still holds what was loaded.
    explicit IndexImage(TrackedIndex& index);

    uint32_t LoadedCount() const { return loaded_; }
    // Replaces a loaded entry (entry < LoadedCount()).
    void Set(uint32_t entry, const IndexEntry& value);
    // Adds an entry after the loaded ones and any appended before it.
    void Append(const IndexEntry& value);

    // Writes every changed entry at its place. False when the file no longer holds the loaded
    // entries (it shrank since it was loaded) or a write fell short.
    bool WriteTo(MergeFile& file) const;

private:
    std::vector<uint8_t>& bytes_; // loaded entry i at i * kIndexEntrySize
    uint32_t loaded_ = 0;
    std::vector<bool> changed_; // one flag per loaded entry
    std::vector<uint8_t> appended_;
};
