#include "modules/selfupdater/update_log.h"

#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace selfupdater {

UpdateLog::UpdateLog(const std::filesystem::path& file) {
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
        file_ = fdopen(fd, "w");
        if (file_ == nullptr)
            close(fd);
    }
}

UpdateLog::~UpdateLog() {
    if (file_ != nullptr)
        std::fclose(file_);
}

void UpdateLog::Write(const std::string& text) {
    char stamp[32] = "";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) != nullptr)
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::FILE* out = file_ != nullptr ? file_ : stderr;
    std::fprintf(out, "%s %s\n", stamp, text.c_str());
    std::fflush(out);
}

} // namespace selfupdater
