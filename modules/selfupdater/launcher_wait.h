#pragma once
// Waiting for the launcher that started the self-updater to end.
#include <chrono>
#include <filesystem>

namespace selfupdater {

// True while a process runs whose executable is "launcher" in programDir (also when that file
// was replaced on disk meanwhile). Processes we may not inspect do not count.
bool LauncherRunsFrom(const std::filesystem::path& programDir);

// Polls LauncherRunsFrom, sleeping `interval` between passes. True once no such process runs;
// false when one still runs after `limit`.
bool WaitForLauncherToEnd(const std::filesystem::path& programDir, std::chrono::milliseconds limit,
                          std::chrono::milliseconds interval);

} // namespace selfupdater
