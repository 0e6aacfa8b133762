#include "modules/selfupdater/update_log.h"

#include <ctime>
#include <fcntl.h>
#include <unistd.h>

#include "system/regular_file.h"

namespace selfupdater {

UpdateLog::UpdateLog(const std::filesystem::path& file) {
    platform::OpenedFile log = platform::OpenRegular(file, O_WRONLY | O_CREAT | O_NOFOLLOW, 0644);
    if (!log.fd || ftruncate(log.fd.get(), 0) != 0)
        return;
    file_ = fdopen(log.fd.get(), "w");
    if (file_ != nullptr)
        log.fd.release(); // the stream owns it now
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
