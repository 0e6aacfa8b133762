#pragma once
// Package trees walked by descriptor: each level is opened beneath its parent's descriptor
// (never following a link) and read as a stream, so a walk holds one open directory and one
// name per level and its memory grows with the depth, not with its square. Paths are never
// rebuilt from the root, so a tree is walked the same however long its paths grow. Any thread.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Far deeper than any game's tree (the game's own paths stay within 260 characters), and few
// enough levels that a walk's open directories stay well inside the descriptor limit.
inline constexpr int kMaxTreeDepth = 256;

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
