#pragma once
// Whole-tree copy and delete, with the shell's all-or-nothing result.
#include <filesystem>
#include <string>

#include "system/atomic_replace.h"

namespace platform {

// Copies a file or directory tree to dst (created as needed), overwriting files. When dst is an
// existing directory and src a directory, src's content is merged into dst. Symbolic links are
// copied as links, never followed, and never written through on the dst side. Pipes, sockets
// and devices are not copied, and a directory is never copied into itself. A copied file keeps
// its permission bits and modification time. The copy goes on past a failed entry. True only
// when everything was copied.
bool CopyTree(const std::filesystem::path& src, const std::filesystem::path& dst);

// Deletes a file or directory tree without following symbolic links out of it. True only when
// the path existed and everything was deleted.
bool DeleteTree(const std::filesystem::path& path);

} // namespace platform
