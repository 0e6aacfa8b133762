#include <cstdio>

#include <wx/log.h>

#include "launcher/launcher.h"
#include "launcher/log.h"
#include "system/path.h"
#include "system/program_directory.h"

void LauncherFrameWnd::SetLogFile() {
    if (LogTarget.load() != nullptr)
        return;
    const auto path = platform::ToPath(platform::ProgramDirectory() + L"run.log");
    if (!path)
        return;
    // "e": the game client and other programs started later must not inherit the log.
    FILE* file = std::fopen(path->c_str(), "w+e");
    if (file == nullptr)
        return;

    // The log owns the target; the frame's member only says that logging is on.
    wxLog* target = new wxLogStderr(file, wxConvUTF8);
    if (!SetLogTarget(target))
        return;
    LogTarget = target;
    wxLog::SetTimestamp(L"%Y-%m-%d %H:%M:%S");
    wxLog::SetLogLevel(wxLOG_Warning);
    LOG_MESSAGE(L"%s(%d): %s", L"launcher started!");
}
