#include "reference_merges.h"

#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "launcher/update/index_file.h"

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::string bytes(std::filesystem::file_size(path), '\0');
    const int fd = open(path.c_str(), O_RDONLY);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = pread(fd, bytes.data() + done, bytes.size() - done, off_t(done));
        if (got <= 0)
            break;
        done += size_t(got);
    }
    close(fd);
    return bytes;
}

void WriteAll(const std::filesystem::path& path, const std::string& bytes) {
    const int fd = open(path.c_str(), O_WRONLY);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = pwrite(fd, bytes.data() + done, bytes.size() - done, off_t(done));
        if (put <= 0)
            break;
        done += size_t(put);
    }
    close(fd);
}

uint32_t Get32(const std::string& bytes, size_t at) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4); // the bench runs on little-endian machines
    return value;
}

void Set32(std::string& bytes, size_t at, uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

constexpr size_t kHeader = 136;

} // namespace

void ReadPatchWriteOnceInPlace(const BenchArchive& archive) {
    std::string index = ReadAll(archive.installedIndex);
    const std::string package = ReadAll(archive.packageIndex);
    const size_t count = (index.size() - kHeader) / 20;
    index.resize(kHeader + count * 20);
    std::string appended;
    appended.reserve(package.size());
    for (size_t at = kHeader; at + 24 <= package.size(); at += 24) {
        const uint32_t slot = Get32(package, at + 20);
        char* entry = nullptr;
        if (slot >= count) {
            appended.append(package, at, 20);
            entry = appended.data() + appended.size() - 20;
        } else {
            entry = index.data() + kHeader + size_t{slot} * 20;
            std::memcpy(entry, package.data() + at, 20);
        }
        std::memset(entry, 0xFF, 4);
    }
    index += appended;
    WriteAll(archive.installedIndex, index);
}

void ReadPatchWriteOnceLogin(const BenchArchive& archive) {
    std::string index = ReadAll(archive.installedIndex);
    std::string data = ReadAll(archive.installedData);
    const std::string package = ReadAll(archive.packageIndex);
    const std::string packageData = ReadAll(archive.packageData);
    const size_t count = (index.size() - kHeader) / 20;
    for (size_t at = kHeader; at + 24 <= package.size(); at += 24) {
        const uint32_t offset = Get32(package, at), size = Get32(package, at + 4);
        const uint32_t slot = Get32(package, at + 20);
        const size_t place = kHeader + size_t{slot} * 20;
        if (slot >= count) {
            index.append(package, at, 20);
            Set32(index, index.size() - 20, uint32_t(data.size()));
            data.append(packageData, offset, size);
            continue;
        }
        if (size > Get32(index, place + 4)) {
            std::memcpy(index.data() + place, package.data() + at, 20);
            Set32(index, place, uint32_t(data.size()));
            data.append(packageData, offset, size);
        } else {
            const uint32_t old = Get32(index, place);
            std::memcpy(data.data() + old, packageData.data() + offset, size);
            std::memcpy(index.data() + place, package.data() + at, 20);
            Set32(index, place, old);
        }
    }
    WriteAll(archive.installedData, data);
    WriteAll(archive.installedIndex, index);
}

namespace {

void WriteFieldAt(int fd, uint64_t position, const void* field, size_t size) {
    lseek(fd, off_t(position), SEEK_SET);
    if (write(fd, field, size) != ssize_t(size))
        std::abort();
}

void WriteFieldsAtEnd(int fd, const IndexEntry& e) {
    lseek(fd, 0, SEEK_END);
    if (write(fd, &e.offset, 4) != 4 || write(fd, &e.size, 4) != 4 || write(fd, &e.attr1, 2) != 2 ||
        write(fd, &e.attr2, 2) != 2 || write(fd, &e.attr3, 4) != 4 || write(fd, &e.attr4, 4) != 4)
        std::abort();
}

// size, attr1..attr4 at the positions of an installed entry's fields.
void WriteFields(int fd, uint64_t position, const IndexEntry& e) {
    WriteFieldAt(fd, position + 4, &e.size, 4);
    WriteFieldAt(fd, position + 8, &e.attr1, 2);
    WriteFieldAt(fd, position + 10, &e.attr2, 2);
    WriteFieldAt(fd, position + 12, &e.attr3, 4);
    WriteFieldAt(fd, position + 16, &e.attr4, 4);
}

} // namespace

void PerFieldInPlace(const BenchArchive& archive) {
    PlainIndex package(archive.packageIndex.wstring());
    TrackedIndex installed(archive.installedIndex.wstring());
    package.Load();
    installed.Load();
    const int fd = open(archive.installedIndex.c_str(), O_RDWR);
    const auto count = uint32_t(installed.Count());
    for (const PatchIndexEntry& p : package.Entries()) {
        IndexEntry marked = p.entry;
        marked.offset = 0xFFFFFFFF;
        if (p.slot >= count) {
            WriteFieldsAtEnd(fd, marked);
            continue;
        }
        const uint64_t position = installed.Entry(p.slot).position;
        WriteFieldAt(fd, position, &marked.offset, 4);
        WriteFields(fd, position, marked);
    }
    close(fd);
}

void PerFieldLogin(const BenchArchive& archive) {
    PlainIndex package(archive.packageData.wstring());
    TrackedIndex installed(archive.installedData.wstring());
    LoadIndexPair(&package, &installed);
    const int packageData = open(archive.packageData.c_str(), O_RDONLY);
    const int data = open(archive.installedData.c_str(), O_RDWR);
    const int index = open(archive.installedIndex.c_str(), O_RDWR);
    const auto count = uint32_t(installed.Count());
    for (const PatchIndexEntry& p : package.Entries()) {
        std::vector<char> block(p.entry.size);
        lseek(packageData, p.entry.offset, SEEK_SET);
        if (read(packageData, block.data(), block.size()) != ssize_t(block.size()))
            std::abort();
        const auto append = [&] {
            const auto offset = uint32_t(lseek(data, 0, SEEK_END));
            if (write(data, block.data(), block.size()) != ssize_t(block.size()))
                std::abort();
            return offset;
        };
        if (p.slot >= count) {
            IndexEntry added = p.entry;
            added.offset = append();
            WriteFieldsAtEnd(index, added);
            continue;
        }
        const TrackedIndexEntry e = installed.Entry(p.slot);
        if (p.entry.size > e.entry.size) {
            const uint32_t offset = append();
            WriteFieldAt(index, e.position, &offset, 4);
        } else {
            WriteFieldAt(data, e.entry.offset, block.data(), block.size());
        }
        WriteFields(index, e.position, p.entry);
    }
    close(index);
    close(data);
    close(packageData);
}
