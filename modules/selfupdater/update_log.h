#pragma once
// The self-updater's record of one run: "launcherupdate.log" in the program directory, new at
// every run, one time-stamped line per event.
#include <cstdio>
#include <filesystem>
#include <string>

namespace selfupdater {

class UpdateLog {
public:
    // Without a writable file (or when `file` is a link) the lines go to standard error.
    explicit UpdateLog(const std::filesystem::path& file);
    ~UpdateLog();
    UpdateLog(const UpdateLog&) = delete;
    UpdateLog& operator=(const UpdateLog&) = delete;

    void Write(const std::string& text);

private:
    std::FILE* file_ = nullptr;
};

} // namespace selfupdater
