// The live-update module's reports of a running patch: download steps, finished packages
// (unpacked and installed here), the versions reached and the end.
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>

#include "duilib/window.h"
#include "launcher/config/settings_mutex.h"
#include "launcher/config/version_config.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/mythread.h"
#include "launcher/update/callback_scope.h"
#include "launcher/update/delete_directory.h"
#include "launcher/update/kill_process.h"
#include "launcher/update/live_patch_module.h"
#include "launcher/update/progress.h"
#include "launcher/update/self_update.h"
#include "launcher/update/update_controls.h"
#include "launcher/zip/unzip_package.h"
#include "liveupdate/live_patch.h"
#include "system/path.h"

namespace fs = std::filesystem;

namespace {

// Given to the module in place of its abort flag once a package was refused or the launcher
// handed over to the self-updater: set for good, it stops the module before anything further
// is fetched or reported.
const std::atomic<bool> PatchStopped{true};

void StopPatch(LivePatchModule& holder) {
    if (holder.patch != nullptr)
        holder.patch->SetAbortFlag(&PatchStopped);
}

// The patch cannot go on: the game stays as it is and the player may enter it.
void RefusePatch(LauncherFrameWnd& frame, LivePatchModule& holder) {
    frame.UpdateNeeded = false;
    SetEnterGameEnabled(true);
    StopPatch(holder);
}

void QuitLauncher(LauncherFrameWnd& frame) {
    DuiLib::PostMessage(frame.GetHWND(), DuiLib::WM_QUIT, 0, 0);
}

// The bytes of the regular files below dir (links are not followed); nullopt when it cannot be
// walked.
std::optional<uint64_t> TreeSize(const wxString& dir) {
    const auto path = platform::ToPath(dir.ToStdWstring());
    std::error_code error;
    if (!path || !fs::is_directory(fs::symlink_status(*path, error)))
        return std::nullopt;
    uint64_t bytes = 0;
    fs::recursive_directory_iterator it(*path, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code sizeError;
        if (it->is_regular_file(sizeError) && !it->is_symlink(sizeError))
            bytes += it->file_size(sizeError);
    }
    if (error)
        return std::nullopt;
    return bytes;
}

void EndOfPatch(LauncherFrameWnd& frame) {
    // The packages are installed: what is left of them in "temp" serves nothing any more,
    // unless the self-updater still takes its files from there.
    if (!frame.SelfUpdatePending)
        DeleteDirectory(frame.InstancePath + L"temp");
    frame.UpdateNeeded = false;
    ShowUpdateProgress(100.0f);
    wxString version;
    {
        std::lock_guard lock(SettingsMutex());
        version = VersionConfig::Instance()->Version;
    }
    ShowCurrentVersion(version);
    EnableEnterGameForChosenServer();
}

void VersionsReport(LauncherFrameWnd& frame, LivePatchModule& holder, bool launcherStep) {
    wxString text;
    {
        std::lock_guard lock(SettingsMutex());
        VersionConfig* versions = VersionConfig::Instance();
        if (launcherStep) {
            versions->LVersion = holder.GetLVersion();
            text = versions->LVersion;
        } else {
            versions->Version =
                holder.patch != nullptr ? holder.patch->GetCurVersion() : wxString(L"0");
            text = versions->Version;
        }
        if (!versions->Save())
            LOG_ERROR(L"%s(%d): can not write the versions into %s", versions->FilePath);
    }
    ShowCurrentVersion(text);
    // One self-updater only: the launcher is ending, and the restarted one finishes the rest.
    if (frame.SelfUpdatePending && !frame.SelfUpdaterPath.empty() && HandOverToSelfUpdater(frame))
        StopPatch(holder);
}

void DownloadStep(int bytesDone, int bytesTotal) {
    // A size of 0 gives no share to show.
    if (bytesTotal > 0)
        ShowUpdateProgress(static_cast<float>(bytesDone / bytesTotal * 100));
}

// The tail of a finished package: the download directory goes, unless a self-update waits for
// what it holds or the package is a ".tre" one.
void DeleteDownloadDirectory(LauncherFrameWnd& frame, const wxString& file) {
    if (frame.SelfUpdatePending || !file.EndsWith(L".upd"))
        return;
    const size_t slash = file.find_last_of(L'/');
    const wxString directory = slash == wxString::npos ? file : file.substr(0, slash);
    if (!DeleteDirectory(directory))
        LOG_ERROR(L"%s(%d):delete temp directory failure because %d !", errno);
}

// "version.ini" records what is installed, so it changes only once a whole step is in (at the
// versions report). A copy in a package would claim the new version while the install is still
// under way, and a launcher killed then would never finish the update.
void DropPackagedVersionIni(const wxString& packageDir) {
    const auto file = platform::ToPath((packageDir + L"/version.ini").ToStdWstring());
    std::error_code error;
    if (file && fs::is_regular_file(fs::symlink_status(*file, error)))
        fs::remove(*file, error);
}

void FinishedPackage(LauncherFrameWnd& frame, LivePatchModule& holder, const wxString& file,
                     bool noHandOver) {
    frame.InstallTotal = 0;
    frame.InstallDone = 0;
    const bool isTre = !file.EndsWith(L".upd") && file.EndsWith(L".tre");
    if (!isTre && !file.EndsWith(L".upd"))
        return;
    const wxString packageDir = file.substr(0, file.find_last_of(L'.'));
    if (!UnzipPackage(packageDir.ToStdWstring(), isTre, ShowUpdateProgress)) {
        LOG_ERROR(L"%s(%d): unzip files failure!");
        RefusePatch(frame, holder);
        return;
    }
    // Shut-down began while it unpacked: the next start fetches the package again.
    if (WorkersShouldStop())
        return;

    const wxString selfUpdater = packageDir + L"/launcherupdate.exe";
    const auto selfUpdaterPath = platform::ToPath(selfUpdater.ToStdWstring());
    std::error_code error;
    if (selfUpdaterPath && fs::exists(*selfUpdaterPath, error)) {
        if (noHandOver)
            return;
        if (!KillProcessByName(L"zel.exe", true))
            QuitLauncher(frame);
        frame.SelfUpdaterPath = selfUpdater;
        frame.SelfUpdateSourceDir = packageDir + L"/";
        frame.SelfUpdatePending = true;
        return;
    }

    DropPackagedVersionIni(packageDir);
    if (const std::optional<uint64_t> size = TreeSize(packageDir)) {
        frame.InstallTotal = *size <= UINT32_MAX ? static_cast<uint32_t>(*size) : 0;
        if (!KillProcessByName(L"zel.exe", true)) {
            QuitLauncher(frame);
        } else if (!frame.FileTranvers(packageDir, packageDir, isTre)) {
            LOG_ERROR(L"%s(%d): install update files failure!");
            RefusePatch(frame, holder);
            return;
        }
    }
    DeleteDownloadDirectory(frame, file);
}

} // namespace

// Runs on the thread that called StartUpdate (the update worker). Screen changes are handed to
// the UI thread; files, "version.ini" and the frame's shared members are handled here.
void LauncherFrameWnd::liveUpdateProcess(const wchar_t* fileName, int bytesDone, int bytesTotal,
                                         bool finished, LivePatchModule* patchModule,
                                         bool launcherStep, bool noHandOver) {
    const CallbackScope scope;
    if (!scope.Allowed() || patchModule == nullptr)
        return;
    LauncherFrameWnd* frame = TheLauncherFrame.load();
    if (fileName == nullptr) {
        if (frame == nullptr)
            return;
        if (finished)
            EndOfPatch(*frame);
        else
            VersionsReport(*frame, *patchModule, launcherStep);
        return;
    }
    if (frame == nullptr)
        return;
    if (!finished)
        DownloadStep(bytesDone, bytesTotal);
    else
        FinishedPackage(*frame, *patchModule, fileName, noHandOver);
}
