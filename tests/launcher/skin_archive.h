#pragma once
// "bt.dat" packed by the test from the skin sources (LAUNCHER_SKIN_DIR), as the build packs it,
// less the files a test leaves out: a game update may ship a skin archive without them.
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/zip_maker.h"

namespace testing_support {

inline void WriteSkinArchiveWithout(const std::filesystem::path& archive,
                                    const std::set<std::string>& leftOut) {
    const std::set<std::string> notSkin{"CMakeLists.txt", "README.md", "make_images.py"};
    std::vector<ZipMakerEntry> entries;
    for (const auto& file : std::filesystem::directory_iterator(LAUNCHER_SKIN_DIR)) {
        const std::string name = file.path().filename().string();
        if (!file.is_regular_file() || notSkin.count(name) != 0 || leftOut.count(name) != 0)
            continue;
        entries.push_back({.name = name, .data = ReadFile(file.path())});
    }
    MakeZip(archive, entries);
}

} // namespace testing_support
