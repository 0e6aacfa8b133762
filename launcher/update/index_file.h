#pragma once
// Index files of the game's data archives. An index is a 136-byte header that the launcher never
// interprets or rewrites, then fixed-size little-endian entries to the end of the file; a
// trailing partial entry is ignored. Installed indexes hold 20-byte entries; the increments in
// update packages hold 24-byte entries that also name the installed entry they replace.
#include <cstdint>
#include <vector>

#include <wx/string.h>

inline constexpr uint64_t kIndexHeaderSize = 136;
inline constexpr uint64_t kIndexEntrySize = 20;
inline constexpr uint64_t kPatchIndexEntrySize = 24;
// An offset that says the local data file does not hold the entry's block.
inline constexpr uint32_t kBlockNotHeld = 0xFFFFFFFF;

struct IndexEntry {
    uint32_t offset = 0;
    uint32_t size = 0;
    uint16_t attr1 = 0;
    uint16_t attr2 = 0;
    uint32_t attr3 = 0;
    uint32_t attr4 = 0;

    bool operator==(const IndexEntry&) const = default;
};

struct PatchIndexEntry {
    IndexEntry entry;
    // Entry number in the installed index this one replaces; >= the installed count appends.
    uint32_t slot = 0;
};

// An installed entry and where it was read. The six fields are stored back to back, so each
// field's position is `position` plus its offset within IndexEntry's on-disk layout.
struct TrackedIndexEntry {
    IndexEntry entry;
    uint64_t position = 0;
};

// The little-endian 32-bit number at in.
inline uint32_t LoadLittle32(const uint8_t* in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
           static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

// Encodes or decodes one 20-byte installed entry.
void EncodeIndexEntry(const IndexEntry& entry, uint8_t* out);
IndexEntry DecodeIndexEntry(const uint8_t* in);

// An installed index (20-byte entries). The name is the data file's path for LoadForDataFile
// (the index is name + ".i") and the index's own path for Load. A failed load leaves no entries.
// The entries are held as the file stores them, 20 bytes each, so an index costs its own size
// in memory; Entry decodes one.
class TrackedIndex {
public:
    explicit TrackedIndex(wxString name) : name_(std::move(name)) {}

    bool LoadForDataFile();
    bool Load();

    const wxString& Name() const { return name_; }
    int32_t Count() const { return static_cast<int32_t>(bytes_.size() / kIndexEntrySize); }
    // Entry i (below Count()) and where it lies in the file.
    TrackedIndexEntry Entry(uint32_t i) const;
    // The entries' bytes, back to back: the login merge patches them in place.
    std::vector<uint8_t>& Bytes() { return bytes_; }

private:
    bool LoadFrom(const wxString& path);

    wxString name_;
    std::vector<uint8_t> bytes_;
};

// A package's index increment (24-byte entries), named like TrackedIndex.
class PlainIndex {
public:
    explicit PlainIndex(wxString name) : name_(std::move(name)) {}

    bool LoadForDataFile();
    bool Load();

    const wxString& Name() const { return name_; }
    int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
    const std::vector<PatchIndexEntry>& Entries() const { return entries_; }

private:
    bool LoadFrom(const wxString& path);

    wxString name_;
    std::vector<PatchIndexEntry> entries_;
};

// Loads the installed index, then (only when that worked) the package's, both for their data
// files. False when either pointer is null or either load fails.
bool LoadIndexPair(PlainIndex* plain, TrackedIndex* tracked);
