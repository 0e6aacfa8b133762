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
    // The executable's path as the system resolved it (a file replaced or removed since the
    // start keeps its path); empty when /proc/PID/exe cannot be read.
    std::string exePath;
    // The real user; nullopt when it cannot be read (the process ended meanwhile).
    std::optional<uid_t> realUid;
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
