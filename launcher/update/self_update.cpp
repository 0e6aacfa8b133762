#include "launcher/update/self_update.h"

#include "duilib/window.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "system/shell.h"

std::optional<wxString> SelfUpdateParameters(const wxString& sourceDir,
                                             const wxString& programDir) {
    for (const wxString* dir : {&sourceDir, &programDir}) {
        if (dir->find(L'"') != wxString::npos || dir->find(L'*') != wxString::npos)
            return std::nullopt;
    }
    return L"\"" + sourceDir + L"*" + programDir;
}

bool HandOverToSelfUpdater(LauncherFrameWnd& frame) {
    const std::optional<wxString> parameters =
        SelfUpdateParameters(frame.SelfUpdateSourceDir, frame.InstancePath);
    if (!parameters) {
        LOG_ERROR(L"%s(%d): no self-update: \"%s\" or \"%s\" holds a double quote or \"*\"",
                  frame.SelfUpdateSourceDir, frame.InstancePath);
        return false;
    }
    // Its result is not looked at: the launcher ends either way and the next start offers the
    // update again.
    platform::ShellOpen(frame.SelfUpdaterPath.ToStdWstring(), parameters->ToStdWstring(), L"");
    DuiLib::PostMessage(frame.GetHWND(), DuiLib::WM_QUIT, 0, 0);
    return true;
}
