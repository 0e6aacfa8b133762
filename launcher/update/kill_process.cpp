#include "launcher/update/kill_process.h"

#include <string>
#include <unistd.h>

#include "system/processes.h"
#include "system/ticks.h"

bool EnableDebugPrivilege() {
    return true;
}

bool KillProcessByName(const wxString& exeName, bool wait) {
    const auto processes = platform::SnapshotProcesses();
    if (!processes)
        return false;
    const std::wstring name = exeName.ToStdWstring();
    // Kernel threads and processes that ended meanwhile have no name: never match them.
    if (name.empty())
        return true;
    const pid_t self = getpid();
    bool ended = false;
    for (const platform::ProcessEntry& process : *processes) {
        if (process.exeName != name || process.pid == self)
            continue;
        EnableDebugPrivilege();
        if (!platform::CanSignalProcess(process.pid))
            continue;
        platform::EndProcess(process.pid);
        ended = true;
    }
    if (wait && ended)
        platform::SleepMs(500);
    return true;
}
