#include <cstdio>

#include <wx/log.h>

#include "launcher/launcher.h"
#include "launcher/log.h"
#include "system/path.h"
#include "system/program_directory.h"
#include "system/regular_file.h"

void LauncherFrameWnd::SetLogFile() {
    if (LogTarget.load() != nullptr)
        return;
    const auto path = platform::ToPath(platform::ProgramDirectory() + L"run.log");
    if (!path)
        return;
    // A link in the log's place is replaced, never followed: the file it points to stays as
    // it is. The descriptor is close-on-exec, so programs started later do not inherit it.
    platform::UniqueFd fd = platform::CreateTruncatedReplacingLink(*path, 0666);
    FILE* file = fd ? fdopen(fd.get(), "w+") : nullptr;
    if (file == nullptr)
        return;
    fd.release(); // the stream owns it now

    // The log owns the target; the frame's member only says that logging is on.
    wxLog* target = new wxLogStderr(file, wxConvUTF8);
    if (!SetLogTarget(target))
        return;
    LogTarget = target;
    wxLog::SetTimestamp(L"%Y-%m-%d %H:%M:%S");
    wxLog::SetLogLevel(wxLOG_Warning);
    LOG_MESSAGE(L": %s", L"launcher started!");
}
