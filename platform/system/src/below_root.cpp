#include "system/below_root.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool IsDriveLetter(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
}

void Tell(WalkStop* why, WalkStop stop) {
    if (why != nullptr)
        *why = stop;
}

WalkStop WhyNotOpened(int parent, const std::string& name, int error) {
    if (error == ENOENT)
        return WalkStop::Missing;
    struct stat info {};
    if (fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(info.st_mode))
            return WalkStop::Link;
        if (!S_ISDIR(info.st_mode))
            return WalkStop::NotDirectory;
    }
    return WalkStop::Failed;
}

} // namespace

std::optional<std::vector<std::string>> SplitRelativePath(std::string_view path) {
    if (path.empty() || path[0] == '/' || path[0] == '\\' || IsDriveLetter(path) ||
        path.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("/\\", start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view segment = path.substr(start, end - start);
        if (segment == "..")
            return std::nullopt;
        if (!segment.empty() && segment != ".")
            segments.emplace_back(segment);
        start = end + 1;
    }
    return segments;
}

UniqueFd OpenChildDirectory(int parent, const std::string& name, bool create, WalkStop* why) {
    UniqueFd fd(openat(parent, name.c_str(), kDirectoryFlags));
    int error = errno;
    if (!fd && error == ENOENT && create) {
        // Another writer may create it between the two calls; the second open settles that.
        if (mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) {
            Tell(why, WalkStop::Failed);
            return fd;
        }
        fd.reset(openat(parent, name.c_str(), kDirectoryFlags));
        error = errno;
    }
    Tell(why, fd ? WalkStop::None : WhyNotOpened(parent, name, error));
    return fd;
}

UniqueFd OpenDirectoryBelow(int root, std::span<const std::string> levels, bool create,
                            WalkStop* why) {
    UniqueFd current(fcntl(root, F_DUPFD_CLOEXEC, 0));
    Tell(why, current ? WalkStop::None : WalkStop::Failed);
    for (const std::string& level : levels) {
        if (!current)
            break;
        current = OpenChildDirectory(current.get(), level, create, why);
    }
    return current;
}

} // namespace platform
