#include "launcher/update/copy_path_tree.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#include "launcher/log.h"
#include "system/below_root.h"
#include "system/directory_stream.h"

namespace {

class TreeChecker {
public:
    TreeChecker(std::string path, size_t pathRoom, bool measure)
        : path_(std::move(path)), room_(pathRoom), measure_(measure) {}

    // relative: the length of the directory's path below the checked root.
    bool Check(platform::UniqueFd dir, size_t relative, int depthLeft) {
        platform::DirectoryStream stream(std::move(dir));
        if (!stream.ok())
            return Refuse("cannot be read");
        while (const dirent* entry = stream.Next()) {
            const size_t mark = path_.size();
            path_.append("/").append(entry->d_name);
            const size_t length = relative + 1 + std::strlen(entry->d_name);
            if (length >= room_)
                return Refuse("has a path longer than the system can hold");
            struct stat info {};
            if (entry->d_type == DT_DIR && !measure_) {
                info.st_mode = S_IFDIR;
            } else if (entry->d_type == DT_REG && !measure_) {
                info.st_mode = S_IFREG;
            } else if (fstatat(stream.fd(), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                return Refuse("cannot be read");
            }
            if (S_ISDIR(info.st_mode)) {
                if (depthLeft <= 0)
                    return Refuse("lies deeper than a package may reach");
                if (!Check(platform::OpenChildDirectory(stream.fd(), entry->d_name, false), length,
                           depthLeft - 1))
                    return false;
            } else if (S_ISREG(info.st_mode)) {
                bytes_ += static_cast<uint64_t>(info.st_size);
            } else {
                return Refuse("is neither a file nor a directory");
            }
            path_.resize(mark);
        }
        return !stream.failed() || Refuse("cannot be read");
    }

    uint64_t bytes() const { return bytes_; }

private:
    bool Refuse(const char* why) {
        LOG_ERROR(L": %s %s, the package is refused", wxString::FromUTF8(path_), wxString(why));
        return false;
    }

    std::string path_;
    size_t room_;
    bool measure_;
    uint64_t bytes_ = 0;
};

} // namespace

namespace {

std::optional<uint64_t> CheckTree(int dir, const std::string& dirPath, size_t pathRoom,
                                  int maxDepth, bool measure) {
    TreeChecker checker(dirPath, pathRoom, measure);
    platform::UniqueFd own(openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!own || !checker.Check(std::move(own), 0, maxDepth))
        return std::nullopt;
    return checker.bytes();
}

} // namespace

std::optional<uint64_t> CheckPackageTree(int dir, const std::string& dirPath, size_t pathRoom,
                                         int maxDepth) {
    return CheckTree(dir, dirPath, pathRoom, maxDepth, true);
}

bool CheckPackageShape(int dir, const std::string& dirPath, size_t pathRoom, int maxDepth) {
    return CheckTree(dir, dirPath, pathRoom, maxDepth, false).has_value();
}
