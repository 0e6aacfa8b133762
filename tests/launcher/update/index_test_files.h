#pragma once
// Index files as the game and the package producer write them, built byte by byte with an
// encoder of the tests' own, plus a step-by-step reference of the two merges (one small write
// per field) that the coalesced merges must match byte for byte.
#include <cstdint>
#include <string>
#include <vector>

#include "launcher/update/index_file.h"

namespace index_test {

inline void Put(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline uint32_t Get(const std::string& in, size_t at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(in.at(at + i));
    return value;
}

// A header no reader may interpret: every byte differs from its neighbours.
inline std::string Header() {
    std::string header;
    for (int i = 0; i < 136; ++i)
        header += static_cast<char>(0xA0 ^ i);
    return header;
}

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

inline std::string PackageIndex(const std::vector<PatchIndexEntry>& entries) {
    std::string out = Header();
    for (const PatchIndexEntry& p : entries) {
        out += EntryBytes(p.entry);
        Put(out, p.slot, 4);
    }
    return out;
}

// The whole 20-byte entries of an installed index file's bytes.
inline std::vector<IndexEntry> InstalledEntries(const std::string& file) {
    std::vector<IndexEntry> entries;
    for (size_t at = 136; at + 20 <= file.size(); at += 20)
        entries.push_back(IndexEntry{Get(file, at, 4), Get(file, at + 4, 4),
                                     static_cast<uint16_t>(Get(file, at + 8, 2)),
                                     static_cast<uint16_t>(Get(file, at + 10, 2)),
                                     Get(file, at + 12, 4), Get(file, at + 16, 4)});
    return entries;
}

inline IndexEntry Entry(uint32_t offset, uint32_t size, uint32_t tag = 0) {
    return IndexEntry{offset,
                      size,
                      static_cast<uint16_t>(tag + 1),
                      static_cast<uint16_t>(tag + 2),
                      tag * 1000 + 3,
                      tag * 1000 + 4};
}

inline PatchIndexEntry Patch(uint32_t slot, uint32_t offset, uint32_t size, uint32_t tag = 0) {
    return PatchIndexEntry{Entry(offset, size, tag), slot};
}

inline void WriteAt(std::string& file, size_t at, const std::string& bytes) {
    if (file.size() < at + bytes.size())
        file.resize(at + bytes.size());
    file.replace(at, bytes.size(), bytes);
}

// The login.dat merge done the plain way, a field at a time, every package entry compared with the
// installed entry as loaded. Valid only for inputs whose offsets lie inside their files.
inline void ReferenceLoginMerge(std::string& data, std::string& index, const std::string& package,
                                const std::vector<PatchIndexEntry>& patches) {
    const std::vector<IndexEntry> loaded = InstalledEntries(index);
    const auto fields = [&](size_t at, const IndexEntry& e) {
        WriteAt(index, at + 4, EntryBytes(e).substr(4));
    };
    for (const PatchIndexEntry& p : patches) {
        const std::string block = package.substr(p.entry.offset, p.entry.size);
        if (p.slot >= loaded.size()) {
            IndexEntry added = p.entry;
            added.offset = static_cast<uint32_t>(data.size());
            data += block;
            index += EntryBytes(added);
            continue;
        }
        const IndexEntry& old = loaded[p.slot];
        const size_t at = 136 + size_t{p.slot} * 20;
        if (p.entry.size > old.size) {
            std::string offset;
            Put(offset, data.size(), 4);
            data += block;
            WriteAt(index, at, offset);
        } else {
            WriteAt(data, old.offset, block);
        }
        fields(at, p.entry);
    }
}

// The in-place merge into an existing index, done the plain way.
inline void ReferenceInPlaceMerge(std::string& index, const std::vector<PatchIndexEntry>& patches) {
    const size_t count = InstalledEntries(index).size();
    for (const PatchIndexEntry& p : patches) {
        IndexEntry marked = p.entry;
        marked.offset = kBlockNotHeld;
        if (p.slot >= count)
            index += EntryBytes(marked);
        else
            WriteAt(index, 136 + size_t{p.slot} * 20, EntryBytes(marked));
    }
}

} // namespace index_test
