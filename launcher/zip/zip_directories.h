#pragma once
// Directories below a base, reached without following symbolic links, so an entry can never
// be written through a link that an earlier entry or someone else placed there.
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "system/unique_fd.h"

// The levels a package may nest: the install refuses deeper trees (its walk holds one open
// directory per level), so they are refused before anything is unpacked.
inline constexpr size_t kMaxZipDepth = 256;

class ZipDirectories {
public:
    ZipDirectories() = default;
    ~ZipDirectories();
    ZipDirectories(const ZipDirectories&) = delete;
    ZipDirectories& operator=(const ZipDirectories&) = delete;

    // Sets the base directory (trusted: links in it are followed); it is created on first use.
    void SetBase(std::filesystem::path base);

    // Opens the directory made of `components` below the base, creating missing levels.
    // Returns a descriptor owned by this object and valid until the next call, or -1 when a
    // level cannot be created or is not a real directory (a symbolic link included).
    int Open(std::span<const std::string> components);

    // Whether the system can name base/components and the install can take them: at most
    // kMaxZipDepth directory levels (a file may sit in the deepest), no component longer than
    // NAME_MAX bytes, the whole absolute path shorter than PATH_MAX. Deeper trees could be made
    // one level at a time, but nothing could name their files afterwards.
    bool CanHold(std::span<const std::string> components, bool endsInFile) const;

    // The base as given, made absolute.
    const std::filesystem::path& base() const { return base_; }

private:
    void CloseAll();

    std::filesystem::path base_;
    platform::UniqueFd baseFd_;
    // The last directory opened: consecutive entries usually share it.
    std::vector<std::string> lastPath_;
    platform::UniqueFd lastFd_;
};

// Creates `base` (with its parents) and every level of `relative` below it. `relative` is a
// name as an archive gives it and is refused when it would leave the base. With an empty base,
// `relative` is a plain path and is created as it stands. True when every level exists.
bool CreateDirectoryPath(const std::wstring& base, const std::wstring& relative);
