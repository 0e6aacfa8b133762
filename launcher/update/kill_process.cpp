#include "launcher/update/kill_process.h"

#include <climits>
#include <cstdlib>
#include <optional>
#include <string>
#include <unistd.h>

#include "system/path.h"
#include "system/processes.h"
#include "system/program_directory.h"
#include "system/ticks.h"

bool EnableDebugPrivilege() {
    return true;
}

namespace {

// Where this installation's copy of the program lies, as the system resolves it (so a link in
// the program directory's path compares equal); nullopt when the directory cannot be resolved.
std::optional<std::string> InstalledProgramPath(const std::wstring& name) {
    const auto directory = platform::ToPath(platform::ProgramDirectory());
    const auto file = platform::ToPath(name);
    if (!directory || !file)
        return std::nullopt;
    char resolved[PATH_MAX];
    if (realpath(directory->c_str(), resolved) == nullptr)
        return std::nullopt;
    std::string path(resolved);
    if (path.back() != '/')
        path += '/';
    return path + file->native();
}

} // namespace

bool KillProcessByName(const wxString& exeName, bool wait) {
    const auto processes = platform::SnapshotProcesses();
    if (!processes)
        return false;
    const std::wstring name = exeName.ToStdWstring();
    // Kernel threads and processes that ended meanwhile have no name: never match them.
    if (name.empty())
        return true;
    const pid_t self = getpid();
    const uid_t user = getuid();
    const std::optional<std::string> installed = InstalledProgramPath(name);
    bool ended = false;
    for (const platform::ProcessEntry& process : *processes) {
        if (process.exeName != name || process.pid == self || process.realUid != user)
            continue;
        // Where the path cannot be read, the name and the user are all there is to go by.
        if (!process.exePath.empty() && process.exePath != installed)
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
