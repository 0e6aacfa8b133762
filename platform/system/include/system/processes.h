#pragma once
// A snapshot of running processes and ending them, over /proc.
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

struct ProcessEntry {
    pid_t pid = 0;
    std::wstring exeName; // base name of /proc/PID/exe, else of argv[0]
};

// nullopt when /proc cannot be read.
std::optional<std::vector<ProcessEntry>> SnapshotProcesses();

// SIGKILL. False when the process may not be signalled (another user's) or is gone.
// Never ends the calling process; pids <= 0 (process groups) are refused too.
bool EndProcess(pid_t pid);

// True when the process exists and we may signal it.
bool CanSignalProcess(pid_t pid);

// True while the thread with this id (gettid) of the calling process has not ended.
bool ThreadOfThisProcessRuns(pid_t tid);

} // namespace platform
