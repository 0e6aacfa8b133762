#include <cstdio>

#include <wx/log.h>

#include "launcher/launcher.h"
#include "launcher/log.h"
#include "system/path.h"

void LauncherFrameWnd::SetLogFile() {
    if (LogTarget.load() != nullptr)
        return;
    const auto path = platform::ToPath(
        std::wstring(DuiLib::CPaintManagerUI::GetInstancePath().GetData()) + L"run.log");
    if (!path)
        return;
    // "e": the game client and other programs started later must not inherit the log.
    FILE* file = std::fopen(path->c_str(), "w+e");
    if (file == nullptr)
        return;

    wxLog* target = new wxLogStderr(file, wxConvUTF8);
    wxLog::SetActiveTarget(target);
    LogTarget = target;
    wxLog::SetTimestamp(L"%Y-%m-%d %H:%M:%S");
    wxLog::SetLogLevel(wxLOG_Warning);
    LOG_MESSAGE(L"%s(%d): %s", L"launcher started!");
}
