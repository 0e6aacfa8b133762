#include "launcher/zip/zip_directories.h"

#include "launcher/zip/zip_names.h"
#include "system/below_root.h"
#include "system/path.h"

#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

ZipDirectories::~ZipDirectories() = default;

void ZipDirectories::CloseAll() {
    lastFd_.reset();
    baseFd_.reset();
    lastPath_.clear();
}

void ZipDirectories::SetBase(std::filesystem::path base) {
    CloseAll();
    std::error_code error;
    base_ = std::filesystem::absolute(base, error);
    if (error)
        base_ = std::move(base);
}

bool ZipDirectories::CanHold(std::span<const std::string> components, bool endsInFile) const {
    const std::string& base = base_.native();
    if (components.size() - (endsInFile && !components.empty() ? 1 : 0) > kMaxZipDepth)
        return false;
    size_t length = base.find_last_not_of('/') + 1; // "/" counts once, with the first component
    for (const std::string& component : components) {
        if (component.size() > NAME_MAX)
            return false;
        length += 1 + component.size();
        if (length >= PATH_MAX) // the terminator needs a byte as well
            return false;
    }
    return true;
}

int ZipDirectories::Open(std::span<const std::string> components) {
    if (!baseFd_) {
        std::error_code ignored;
        std::filesystem::create_directories(base_, ignored);
        baseFd_.reset(open(base_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!baseFd_)
            return -1;
    }
    if (components.empty())
        return baseFd_.get();
    if (lastFd_ && std::ranges::equal(components, lastPath_))
        return lastFd_.get();

    // Continue from the last directory when it is an ancestor, else from the base.
    size_t start = 0;
    platform::UniqueFd from;
    if (lastFd_ && lastPath_.size() < components.size() &&
        std::equal(lastPath_.begin(), lastPath_.end(), components.begin())) {
        start = lastPath_.size();
        from = std::move(lastFd_);
    }
    lastFd_.reset();
    lastPath_.clear();

    platform::UniqueFd current = platform::OpenDirectoryBelow(from ? from.get() : baseFd_.get(),
                                                              components.subspan(start), true);
    if (!current)
        return -1;
    lastPath_.assign(components.begin(), components.end());
    lastFd_ = std::move(current);
    return lastFd_.get();
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
    return directories.Open(ZipTargetLevels(*target)) >= 0;
}
