#include "system/directory_stream.h"

#include <cerrno>
#include <cstring>

namespace platform {

DirectoryStream::DirectoryStream(UniqueFd dir) {
    if (!dir)
        return;
    dir_ = fdopendir(dir.get());
    if (dir_ != nullptr)
        dir.release(); // the stream owns it now
}

DirectoryStream::~DirectoryStream() {
    if (dir_ != nullptr)
        closedir(dir_);
}

int DirectoryStream::fd() const {
    return dir_ != nullptr ? dirfd(dir_) : -1;
}

const dirent* DirectoryStream::Next() {
    if (dir_ == nullptr)
        return nullptr;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir_);
        if (entry == nullptr) {
            failed_ = errno != 0;
            return nullptr;
        }
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            return entry;
    }
}

} // namespace platform
