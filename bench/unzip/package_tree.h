#pragma once
// Builds the file trees the benchmark packs: reproducible sizes and partly compressible bytes.
#include <cstdint>
#include <filesystem>

struct TreeSummary {
    uint64_t files = 0;
    uint64_t bytes = 0;
};

// About 2,000 files of 4 KiB to 10 MiB, about 200 MiB in all, like a game patch.
TreeSummary MakeRealisticTree(const std::filesystem::path& root);
// 20,000 files of 1 to 4 KiB.
TreeSummary MakeSmallFilesTree(const std::filesystem::path& root);

// The regular files below root and their bytes.
TreeSummary CountTree(const std::filesystem::path& root);
// The benches' "tree realistic|small DIR" command: makes the tree and says what it holds.
int MakeTreeCommand(const char* kind, const char* dir);
