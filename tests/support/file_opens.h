#pragma once
// Counts how often files in one directory are opened, as the kernel reports it (inotify), so a
// test can tell how many times the code under test read a file without touching that code.
#include <filesystem>
#include <map>
#include <string>

namespace testing_support {

class FileOpens {
public:
    // Watches the entries of dir (not below it) from now on.
    explicit FileOpens(const std::filesystem::path& dir);
    ~FileOpens();
    FileOpens(const FileOpens&) = delete;
    FileOpens& operator=(const FileOpens&) = delete;

    // Opens of name since the watch began or the last Reset.
    int Count(const std::string& name);
    void Reset();

private:
    void Drain();

    int fd_ = -1;
    std::map<std::string, int> opens_;
};

} // namespace testing_support
