#pragma once
// Paths that come from data (archive entries, delete lists) and must stay below a root
// directory: they are checked as text first, then their directories are opened one level at a
// time beneath a descriptor of the root, never following a link, so neither "..", an absolute
// name nor a link placed (or swapped in) on the way can lead outside.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "system/unique_fd.h"

namespace platform {

// The segments of a relative path. "\" and "/" both separate; empty and "." segments are
// dropped. Refused (nullopt): an empty path, an absolute one ("/x", "\x", "C:x"), a NUL byte,
// any ".." segment. The result may be empty ("./" names the root itself).
std::optional<std::vector<std::string>> SplitRelativePath(std::string_view path);

enum class WalkStop {
    None,
    Missing,      // a level does not exist (and was not to be created)
    Link,         // a level is a symbolic link
    NotDirectory, // a level is a file or anything else
    Failed,       // permissions, I/O, a level that could not be created
};

// Opens the directory name beneath parent (O_NOFOLLOW | O_DIRECTORY), creating it first when
// create is set and nothing has the name. why (optional) says what stopped it.
UniqueFd OpenChildDirectory(int parent, const std::string& name, bool create,
                            WalkStop* why = nullptr);
// Opens root/levels[0]/levels[1]/... level by level as OpenChildDirectory does. With no levels
// it gives a second descriptor of root.
UniqueFd OpenDirectoryBelow(int root, std::span<const std::string> levels, bool create,
                            WalkStop* why = nullptr);

} // namespace platform
