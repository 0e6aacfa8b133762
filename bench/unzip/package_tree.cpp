#include "bench/unzip/package_tree.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Blocks of random bytes (incompressible) alternate with blocks of varied text.
std::string FileBytes(std::mt19937_64& random, size_t size) {
    std::string out;
    out.reserve(size + 4096);
    while (out.size() < size) {
        if (random() % 5 < 2) {
            for (int i = 0; i < 512; ++i) {
                const uint64_t word = random();
                out.append(reinterpret_cast<const char*>(&word), sizeof word);
            }
        } else {
            const size_t blockEnd = out.size() + 4096;
            while (out.size() < blockEnd) {
                out += "mesh vertex " + std::to_string(random() % 100000) + " uv " +
                       std::to_string(random() % 1000) + "\n";
            }
        }
    }
    out.resize(size);
    return out;
}

std::filesystem::path DirectoryFor(uint64_t index, uint64_t directories) {
    const uint64_t d = index % directories;
    return std::filesystem::path("data" + std::to_string(d % 8)) / ("set" + std::to_string(d / 8));
}

TreeSummary Write(const std::filesystem::path& root, const std::vector<size_t>& sizes,
                  uint64_t directories, uint64_t seed) {
    std::mt19937_64 random(seed);
    TreeSummary summary;
    for (size_t i = 0; i < sizes.size(); ++i) {
        const auto dir = root / DirectoryFor(i, directories);
        std::filesystem::create_directories(dir);
        std::ofstream out(dir / ("file" + std::to_string(i) + ".bin"), std::ios::binary);
        const std::string bytes = FileBytes(random, sizes[i]);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ++summary.files;
        summary.bytes += bytes.size();
    }
    return summary;
}

size_t Between(std::mt19937_64& random, size_t low, size_t high) {
    return low + random() % (high - low + 1);
}

} // namespace

TreeSummary MakeRealisticTree(const std::filesystem::path& root) {
    std::mt19937_64 random(7);
    std::vector<size_t> sizes;
    for (int i = 0; i < 12; ++i)
        sizes.push_back(Between(random, 5 << 20, 10 << 20));
    for (int i = 0; i < 300; ++i)
        sizes.push_back(Between(random, 100 << 10, 500 << 10));
    for (int i = 0; i < 1688; ++i)
        sizes.push_back(Between(random, 4 << 10, 20 << 10));
    std::shuffle(sizes.begin(), sizes.end(), random);
    return Write(root, sizes, 40, 11);
}

TreeSummary MakeSmallFilesTree(const std::filesystem::path& root) {
    std::mt19937_64 random(13);
    std::vector<size_t> sizes;
    for (int i = 0; i < 20000; ++i)
        sizes.push_back(Between(random, 1 << 10, 4 << 10));
    return Write(root, sizes, 200, 17);
}

TreeSummary CountTree(const std::filesystem::path& root) {
    TreeSummary summary;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        if (item.is_regular_file()) {
            ++summary.files;
            summary.bytes += item.file_size();
        }
    }
    return summary;
}

int MakeTreeCommand(const char* kind, const char* dir) {
    const bool small = std::string_view(kind) == "small";
    const TreeSummary summary = small ? MakeSmallFilesTree(dir) : MakeRealisticTree(dir);
    std::printf("%s: %llu files, %.1f MiB\n", dir, static_cast<unsigned long long>(summary.files),
                static_cast<double>(summary.bytes) / (1 << 20));
    return 0;
}
