#include "launcher/update/self_update.h"

#include <filesystem>
#include <vector>

#include "duilib/window.h"
#include "launcher/config/version_config.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/update/delete_directory.h"
#include "system/path.h"
#include "system/shell.h"

namespace fs = std::filesystem;

std::optional<wxString> SelfUpdateParameters(const wxString& sourceDir,
                                             const wxString& programDir) {
    for (const wxString* dir : {&sourceDir, &programDir}) {
        if (dir->find(L'"') != wxString::npos || dir->find(L'*') != wxString::npos)
            return std::nullopt;
    }
    return L"\"" + sourceDir + L"*" + programDir;
}

bool StageSelfUpdateVersions(LauncherFrameWnd& frame, const wxString& version,
                             const wxString& lversion) {
    const auto installed = platform::ToPath((frame.InstancePath + L"version.ini").ToStdWstring());
    const auto staged =
        platform::ToPath((frame.SelfUpdateSourceDir + L"version.ini").ToStdWstring());
    std::error_code error;
    VersionConfig versions;
    versions.FilePath = frame.SelfUpdateSourceDir + L"version.ini";
    versions.Version = version;
    versions.LVersion = lversion;
    if (!installed || !staged ||
        !fs::copy_file(*installed, *staged, fs::copy_options::overwrite_existing, error) ||
        !versions.Save()) {
        LOG_ERROR(L": no self-update: the new versions cannot be written into %s",
                  versions.FilePath);
        return false;
    }
    return true;
}

bool HandOverToSelfUpdater(LauncherFrameWnd& frame) {
    const std::optional<wxString> parameters =
        SelfUpdateParameters(frame.SelfUpdateSourceDir, frame.InstancePath);
    if (!parameters) {
        LOG_ERROR(L": no self-update: \"%s\" or \"%s\" holds a double quote or \"*\", which "
                  L"would make the self-updater's parameters ambiguous; the launcher stays as it "
                  L"is and the next start offers its update again",
                  frame.SelfUpdateSourceDir, frame.InstancePath);
        return false;
    }
    // Its result is not looked at: the launcher ends either way and the next start offers the
    // update again.
    platform::ShellOpen(frame.SelfUpdaterPath.ToStdWstring(), parameters->ToStdWstring(), L"");
    DuiLib::PostMessage(frame.GetHWND(), DuiLib::WM_QUIT, 0, 0);
    return true;
}

void ClearUpdateLeftovers(LauncherFrameWnd& frame, bool keepSelfUpdate) {
    const auto temp = platform::ToPath((frame.InstancePath + L"temp").ToStdWstring());
    std::error_code error;
    if (!temp || !fs::is_directory(fs::symlink_status(*temp, error)))
        return;
    if (!keepSelfUpdate || !frame.SelfUpdatePending) {
        DeleteDirectory(frame.InstancePath + L"temp");
        return;
    }
    const auto keep = platform::ToPath(frame.SelfUpdateSourceDir.ToStdWstring());
    std::vector<fs::path> leftovers;
    fs::directory_iterator it(*temp, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code same;
        if (!keep || !fs::equivalent(it->path(), *keep, same))
            leftovers.push_back(it->path());
    }
    for (const fs::path& leftover : leftovers) {
        if (const auto wide = platform::FromPath(leftover))
            DeleteDirectory(*wide);
    }
}
