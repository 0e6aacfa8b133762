#include "bench_archive.h"

#include <algorithm>
#include <fstream>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

void Put(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void Entry(std::string& out, uint32_t offset, uint32_t size, uint32_t tag) {
    Put(out, offset, 4);
    Put(out, size, 4);
    Put(out, tag & 0xFFFF, 2);
    Put(out, tag >> 16, 2);
    Put(out, tag * 3, 4);
    Put(out, tag * 7, 4);
}

void Save(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

BenchArchive ArchivePaths(const std::filesystem::path& dir) {
    return BenchArchive{dir / "installed" / "login.dat", dir / "installed" / "login.dat.i",
                        dir / "package" / "login.dat", dir / "package" / "login.dat.i"};
}

BenchArchive BuildBenchArchive(const std::filesystem::path& dir, uint32_t installedCount,
                               uint32_t packageCount) {
    std::mt19937 random(2024);
    const std::string header(136, 'H');

    std::string data, index = header;
    std::vector<uint32_t> sizes(installedCount);
    for (uint32_t i = 0; i < installedCount; ++i) {
        sizes[i] = 64 + static_cast<uint32_t>(random() % 960);
        Entry(index, static_cast<uint32_t>(data.size()), sizes[i], i);
        data.append(sizes[i], static_cast<char>('a' + i % 26));
    }

    std::vector<uint32_t> slots(installedCount);
    std::iota(slots.begin(), slots.end(), 0u);
    std::shuffle(slots.begin(), slots.end(), random);
    std::string packageData, packageIndex = header;
    for (uint32_t i = 0; i < packageCount; ++i) {
        const uint32_t kind = i % 20; // 12 of 20 smaller, 5 larger, 3 new
        uint32_t slot = 0, size = 0;
        if (kind < 12) {
            slot = slots[i];
            size = 1 + static_cast<uint32_t>(random() % sizes[slot]);
        } else if (kind < 17) {
            slot = slots[i];
            size = sizes[slot] + 1 + static_cast<uint32_t>(random() % 2048);
        } else {
            slot = installedCount + static_cast<uint32_t>(random() % 1000);
            size = 64 + static_cast<uint32_t>(random() % 960);
        }
        Entry(packageIndex, static_cast<uint32_t>(packageData.size()), size, 1000000 + i);
        Put(packageIndex, slot, 4);
        packageData.append(size, static_cast<char>('A' + i % 26));
    }

    const BenchArchive archive = ArchivePaths(dir);
    Save(archive.installedData, data);
    Save(archive.installedIndex, index);
    Save(archive.packageData, packageData);
    Save(archive.packageIndex, packageIndex);
    return archive;
}
