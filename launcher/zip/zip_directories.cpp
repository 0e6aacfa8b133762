#include "launcher/zip/zip_directories.h"

#include "launcher/zip/zip_names.h"
#include "system/path.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

int OpenChild(int parent, const std::string& name) {
    int fd = openat(parent, name.c_str(), kDirectoryFlags);
    if (fd < 0 && errno == ENOENT) {
        // Another writer may create it between the two calls; the second open settles that.
        mkdirat(parent, name.c_str(), 0777);
        fd = openat(parent, name.c_str(), kDirectoryFlags);
    }
    return fd;
}

} // namespace

ZipDirectories::~ZipDirectories() {
    CloseAll();
}

void ZipDirectories::CloseAll() {
    if (lastFd_ >= 0)
        close(lastFd_);
    if (baseFd_ >= 0)
        close(baseFd_);
    lastFd_ = -1;
    baseFd_ = -1;
    lastPath_.clear();
}

void ZipDirectories::SetBase(std::filesystem::path base) {
    CloseAll();
    base_ = std::move(base);
}

int ZipDirectories::Open(std::span<const std::string> components) {
    if (baseFd_ < 0) {
        std::error_code ignored;
        std::filesystem::create_directories(base_, ignored);
        baseFd_ = open(base_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (baseFd_ < 0)
            return -1;
    }
    if (components.empty())
        return baseFd_;
    if (lastFd_ >= 0 && std::ranges::equal(components, lastPath_))
        return lastFd_;

    // Continue from the last directory when it is an ancestor, else from the base.
    size_t start = 0;
    int current = baseFd_;
    if (lastFd_ >= 0 && lastPath_.size() < components.size() &&
        std::equal(lastPath_.begin(), lastPath_.end(), components.begin())) {
        start = lastPath_.size();
        current = lastFd_;
    } else if (lastFd_ >= 0) {
        close(lastFd_);
    }
    lastFd_ = -1;
    lastPath_.clear();

    for (size_t i = start; i < components.size(); ++i) {
        const int next = OpenChild(current, components[i]);
        if (current != baseFd_)
            close(current);
        if (next < 0)
            return -1;
        current = next;
    }
    lastPath_.assign(components.begin(), components.end());
    lastFd_ = current;
    return current;
}

bool CreateDirectoryPath(const std::wstring& base, const std::wstring& relative) {
    if (base.empty()) {
        const auto path = platform::ToPath(platform::NormaliseSeparators(relative));
        if (!path)
            return false;
        std::error_code error;
        std::filesystem::create_directories(*path, error);
        return std::filesystem::is_directory(*path, error);
    }
    const auto basePath = platform::ToPath(base);
    if (!basePath)
        return false;
    ZipDirectories directories;
    directories.SetBase(*basePath);
    if (relative.empty())
        return directories.Open({}) >= 0;
    const auto target = ResolveZipTarget(relative);
    if (!target)
        return false;
    std::vector<std::string> levels = target->directories;
    if (!target->isDirectory)
        levels.push_back(target->file);
    return directories.Open(levels) >= 0;
}
