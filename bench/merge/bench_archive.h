#pragma once
// A login-style archive pair and an update increment for it, written under a directory:
// installed/login.dat(.i) and package/login.dat(.i).
#include <cstdint>
#include <filesystem>

struct BenchArchive {
    std::filesystem::path installedData;
    std::filesystem::path installedIndex;
    std::filesystem::path packageData;
    std::filesystem::path packageIndex;
};

BenchArchive ArchivePaths(const std::filesystem::path& dir);

// installedCount entries with blocks of 64 to 1023 bytes; an increment of packageCount entries:
// 60% replace a block with one no larger, 25% replace it with a larger one, 15% add entries.
// Replaced entries are distinct and in random order. The same seed gives the same files.
BenchArchive BuildBenchArchive(const std::filesystem::path& dir, uint32_t installedCount,
                               uint32_t packageCount);
