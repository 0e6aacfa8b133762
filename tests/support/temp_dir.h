#pragma once
// A temporary directory that a test owns: created empty, removed with everything in it when the
// test ends. Used as a program directory, a package directory or a sentinel's surroundings.
#include <filesystem>
#include <string>

namespace testing_support {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The directory as the launcher names directories: wide, ending in "/".
    std::wstring wide() const;
    std::filesystem::path operator/(const std::string& relative) const { return path_ / relative; }

private:
    std::filesystem::path path_;
};

// Writes bytes to a file, creating parent directories.
void WriteFile(const std::filesystem::path& file, const std::string& bytes);
// The whole file, or "" when it cannot be read.
std::string ReadFile(const std::filesystem::path& file);

// The build's program directory (bin/), from LAUNCHER_BIN_DIR, ending in "/".
std::filesystem::path BinDir();

} // namespace testing_support
