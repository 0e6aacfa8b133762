#pragma once
// Package trees walked by descriptor: each level is opened beneath its parent's descriptor
// (never following a link) and read as a stream, so a walk holds one open directory and one
// name per level and its memory grows with the depth, not with its square. Paths are never
// rebuilt from the root, so a tree is walked the same however long its paths grow. Any thread.
#include <cstddef>
#include <cstdint>
#include <dirent.h>
#include <optional>
#include <string>

#include "system/unique_fd.h"

// Far deeper than any game's tree (the game's own paths stay within 260 characters), and few
// enough levels that a walk's open directories stay well inside the descriptor limit.
inline constexpr int kMaxTreeDepth = 256;

// The entries of an open directory, "." and ".." left out.
class DirectoryStream {
public:
    explicit DirectoryStream(platform::UniqueFd dir);
    ~DirectoryStream();
    DirectoryStream(const DirectoryStream&) = delete;
    DirectoryStream& operator=(const DirectoryStream&) = delete;

    bool ok() const { return dir_ != nullptr; }
    int fd() const;
    // The next entry, or null at the end (or on an error, which failed() then tells).
    const dirent* Next();
    bool failed() const { return failed_; }

private:
    DIR* dir_ = nullptr;
    bool failed_ = false;
};

// Opens the directory name beneath parent without following a link.
platform::UniqueFd OpenSubdirectory(int parent, const char* name);

// Checks the tree below dir before anything of it is installed: it holds only regular files and
// directories, is at most maxDepth levels deep, and every path below it stays shorter than
// pathRoom bytes (the room its destination leaves within the system's path limit). Logs the
// first problem with its path (dirPath + the relative path). The bytes of its regular files
// when it passes.
std::optional<uint64_t> CheckPackageTree(int dir, const std::string& dirPath, size_t pathRoom,
                                         int maxDepth = kMaxTreeDepth);
// The same check without measuring the files: the directory listing's types stand for a stat
// of each entry where the file system gives them (a walk that opens the files checks them again).
bool CheckPackageShape(int dir, const std::string& dirPath, size_t pathRoom,
                       int maxDepth = kMaxTreeDepth);
