#pragma once
// Index files as the game and the package producer write them, built byte by byte with an
// encoder of the tests' own, and the login.dat merge done the plain way (one small write per
// field) that the real merge must match byte for byte.
#include <cstdint>
#include <string>
#include <vector>

#include "launcher/update/index_file.h"

namespace index_test {

inline void Put(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A header no reader may interpret: every byte differs from its neighbours.
inline std::string Header() {
    std::string header;
    for (int i = 0; i < 136; ++i)
        header += static_cast<char>(0xA0 ^ i);
    return header;
}

// The 20 bytes of an entry, little-endian, in field order.
inline std::string EntryBytes(const IndexEntry& e) {
    std::string out;
    Put(out, e.offset, 4);
    Put(out, e.size, 4);
    Put(out, e.attr1, 2);
    Put(out, e.attr2, 2);
    Put(out, e.attr3, 4);
    Put(out, e.attr4, 4);
    return out;
}

inline std::string InstalledIndex(const std::vector<IndexEntry>& entries) {
    std::string out = Header();
    for (const IndexEntry& e : entries)
        out += EntryBytes(e);
    return out;
}

// Package entries are 24 bytes: the entry, then the slot it replaces.
inline std::string PackageIndex(const std::vector<PatchIndexEntry>& entries) {
    std::string out = Header();
    for (const PatchIndexEntry& p : entries) {
        out += EntryBytes(p.entry);
        Put(out, p.slot, 4);
    }
    return out;
}

// An entry whose four attribute fields all differ, derived from `tag`.
inline IndexEntry Entry(uint32_t offset, uint32_t size, uint32_t tag = 0) {
    const auto small = static_cast<uint16_t>(tag);
    return IndexEntry(offset, size, small + 1, small + 2, tag * 1000 + 3, tag * 1000 + 4);
}

inline PatchIndexEntry Patch(uint32_t slot, uint32_t offset, uint32_t size, uint32_t tag = 0) {
    return PatchIndexEntry{Entry(offset, size, tag), slot};
}

// The login.dat merge done the plain way, a field at a time, every package entry compared with
// the installed entry as loaded. Valid only for distinct slots and offsets inside their files.
inline void ReferenceLoginMerge(std::string& data, std::string& index,
                                const std::vector<IndexEntry>& installed,
                                const std::string& package,
                                const std::vector<PatchIndexEntry>& patches) {
    for (const PatchIndexEntry& p : patches) {
        const std::string block = package.substr(p.entry.offset, p.entry.size);
        if (p.slot >= installed.size()) {
            IndexEntry added = p.entry;
            added.offset = static_cast<uint32_t>(data.size());
            data += block;
            index += EntryBytes(added);
            continue;
        }
        const IndexEntry& old = installed[p.slot];
        const size_t at = 136 + size_t{p.slot} * 20;
        if (p.entry.size > old.size) {
            index.replace(at, 4, EntryBytes(Entry(static_cast<uint32_t>(data.size()), 0)), 0, 4);
            data += block;
        } else {
            data.replace(old.offset, block.size(), block);
        }
        index.replace(at + 4, 16, EntryBytes(p.entry), 4, 16);
    }
}

} // namespace index_test
