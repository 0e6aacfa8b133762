#include "system/processes.h"

#include "system/directory_stream.h"
#include "system/path.h"
#include "system/unique_fd.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <limits>
#include <string>
#include <string_view>
#include <unistd.h>

namespace platform {

namespace {

std::optional<pid_t> ParsePid(const char* name) {
    pid_t pid = 0;
    if (*name == '\0')
        return std::nullopt;
    for (const char* c = name; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9' || pid > (INT_MAX - 9) / 10)
            return std::nullopt;
        pid = pid * 10 + (*c - '0');
    }
    return pid;
}

std::string BaseName(std::string_view path) {
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// The executable's path; empty when the link cannot be read (another user's process).
std::string PathFromExe(const std::string& procDir) {
    char target[PATH_MAX];
    const ssize_t length = readlink((procDir + "/exe").c_str(), target, sizeof target);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof target)
        return {};
    std::string_view path(target, static_cast<size_t>(length));
    // A program replaced on disk while it runs still goes by its name.
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted))
        path.remove_suffix(kDeleted.size());
    return std::string(path);
}

// argv[0]'s base name, for processes whose executable link we may not read.
std::string NameFromCommandLine(const std::string& procDir) {
    const UniqueFd fd(open((procDir + "/cmdline").c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return {};
    char buffer[PATH_MAX];
    const ssize_t length = read(fd.get(), buffer, sizeof buffer);
    if (length <= 0)
        return {};
    const std::string_view text(buffer, static_cast<size_t>(length));
    return BaseName(text.substr(0, text.find('\0')));
}

// The real user id: the first number of the "Uid:" line of /proc/PID/status.
std::optional<uid_t> RealUser(const std::string& procDir) {
    const UniqueFd fd(open((procDir + "/status").c_str(), O_RDONLY | O_CLOEXEC));
    char buffer[4096];
    const ssize_t length = fd ? read(fd.get(), buffer, sizeof buffer - 1) : -1;
    if (length <= 0)
        return std::nullopt;
    buffer[length] = '\0';
    const char* line = std::strstr(buffer, "\nUid:");
    if (line == nullptr)
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long uid = std::strtoul(line + 5, &end, 10);
    if (end == line + 5 || errno != 0 || uid > std::numeric_limits<uid_t>::max())
        return std::nullopt;
    return static_cast<uid_t>(uid);
}

} // namespace

std::optional<std::vector<ProcessEntry>> SnapshotProcesses() {
    DirectoryStream proc(UniqueFd(open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    if (!proc.ok())
        return std::nullopt;
    std::vector<ProcessEntry> entries;
    while (const dirent* entry = proc.Next()) {
        const auto pid = ParsePid(entry->d_name);
        if (!pid)
            continue;
        const std::string procDir = std::string("/proc/") + entry->d_name;
        std::string path = PathFromExe(procDir);
        const std::string name = path.empty() ? NameFromCommandLine(procDir) : BaseName(path);
        // Kernel threads and processes that ended meanwhile keep an empty name.
        auto wide = Utf8ToWide(name);
        entries.push_back(
            {*pid, wide ? std::move(*wide) : std::wstring(), std::move(path), RealUser(procDir)});
    }
    return entries;
}

bool EndProcess(pid_t pid) {
    // 0 and negative pids address process groups; never let a stray value reach kill().
    if (pid <= 0 || pid == getpid())
        return false;
    return kill(pid, SIGKILL) == 0;
}

bool CanSignalProcess(pid_t pid) {
    if (pid <= 0)
        return false;
    return kill(pid, 0) == 0;
}

bool ThreadOfThisProcessRuns(pid_t tid) {
    // The task's entry goes once the thread has ended, after everything the C library runs
    // for it on its way out.
    return tid > 0 && access(("/proc/self/task/" + std::to_string(tid)).c_str(), F_OK) == 0;
}

} // namespace platform
