#include "modules/selfupdater/launcher_wait.h"

#include "system/processes.h"

#include <string>
#include <thread>

namespace selfupdater {

namespace fs = std::filesystem;

namespace {

constexpr const char* kLauncherName = "launcher";

// /proc shows a program that was replaced on disk meanwhile with " (deleted)" behind its path.
bool RunsExecutable(pid_t pid, const std::string& executable) {
    std::error_code ec;
    const fs::path target = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec);
    return !ec && (target == executable || target.native() == executable + " (deleted)");
}

} // namespace

bool LauncherRunsFrom(const fs::path& programDir) {
    const auto processes = platform::SnapshotProcesses();
    if (!processes)
        return false;
    std::error_code ec;
    // /proc shows resolved paths, so compare with the resolved directory.
    fs::path dir = fs::canonical(programDir, ec);
    if (ec)
        dir = fs::absolute(programDir, ec).lexically_normal();
    const std::string executable = (dir / kLauncherName).native();
    for (const platform::ProcessEntry& process : *processes) {
        if (process.exeName == L"launcher" && RunsExecutable(process.pid, executable))
            return true;
    }
    return false;
}

bool WaitForLauncherToEnd(const fs::path& programDir, std::chrono::milliseconds limit,
                          std::chrono::milliseconds interval) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (LauncherRunsFrom(programDir)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(interval);
    }
    return true;
}

} // namespace selfupdater
