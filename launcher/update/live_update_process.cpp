// The live-update module's reports of a running patch: download steps, finished packages
// (unpacked and installed here), the versions reached and the end.
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <mutex>

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

// The patch cannot go on: the game stays as it is and the player may enter it. What the step
// left in "temp" goes now, but for what a pending self-update still copies from.
void RefusePatch(LauncherFrameWnd& frame, LivePatchModule& holder, bool keepSelfUpdate = true) {
    StopPatch(holder);
    ClearUpdateLeftovers(frame, keepSelfUpdate);
    frame.UpdateNeeded = false;
    SetEnterGameEnabled(true);
}

void QuitLauncher(LauncherFrameWnd& frame) {
    DuiLib::PostMessage(frame.GetHWND(), DuiLib::WM_QUIT, 0, 0);
}

void EndOfPatch(LauncherFrameWnd& frame) {
    // The packages are installed: what is left of them in "temp" serves nothing any more,
    // unless the self-updater still takes its files from there.
    if (!frame.SelfUpdatePending)
        DeleteDirectory(frame.InstancePath + L"temp");
    frame.UpdateNeeded = false;
    ShowUpdateProgress(100.0f);
    wxString version, lversion;
    {
        std::lock_guard lock(SettingsMutex());
        version = VersionConfig::Instance()->Version;
        lversion = VersionConfig::Instance()->LVersion;
    }
    LOG_WARNING(L": update finished: game version %s, launcher version %s", version, lversion);
    ShowCurrentVersion(version);
    EnableEnterGameForChosenServer();
}

void VersionsReport(LauncherFrameWnd& frame, LivePatchModule& holder, bool launcherStep) {
    // A step that carried the launcher's self-updater is whole only once the self-updater has
    // copied the new launcher in: it records the versions then, and a hand-over that is refused
    // or fails leaves them as they were, so the next start offers the step again.
    const bool handOver = frame.SelfUpdatePending && !frame.SelfUpdaterPath.empty();
    wxString version, lversion;
    {
        std::lock_guard lock(SettingsMutex());
        VersionConfig* versions = VersionConfig::Instance();
        version = versions->Version;
        lversion = versions->LVersion;
        if (launcherStep)
            lversion = holder.GetLVersion();
        else
            version = holder.patch != nullptr ? holder.patch->GetCurVersion() : wxString(L"0");
        if (!handOver) {
            versions->Version = version;
            versions->LVersion = lversion;
            if (!versions->Save())
                LOG_ERROR(L": can not write the versions into %s", versions->FilePath);
        }
    }
    ShowCurrentVersion(launcherStep ? lversion : version);
    if (!handOver)
        return;
    // One self-updater only: the launcher is ending, and the restarted one finishes the rest.
    if (StageSelfUpdateVersions(frame, version, holder.GetLVersion()) &&
        HandOverToSelfUpdater(frame)) {
        LOG_WARNING(L": handed over to the self-updater: game version %s, launcher version "
                    L"%s once it has copied the new launcher",
                    version, holder.GetLVersion());
        StopPatch(holder);
        return;
    }
    // Nothing of the refused self-update is of use any more.
    RefusePatch(frame, holder, false);
}

void DownloadStep(int bytesDone, int bytesTotal) {
    // A size of 0 gives no share to show.
    if (bytesTotal > 0)
        ShowUpdateProgress(static_cast<float>(bytesDone / bytesTotal * 100));
}

// The tail of a finished package: the package and its unpacked directory go, unless a
// self-update waits for what they hold or the package is a ".tre" one. Only these two: the
// download directory may already hold the step's other packages.
void DeleteDownloadDirectory(LauncherFrameWnd& frame, const wxString& file,
                             const wxString& packageDir) {
    if (frame.SelfUpdatePending || !file.EndsWith(L".upd"))
        return;
    for (const wxString* path : {&packageDir, &file}) {
        const auto real = platform::ToPath(path->ToStdWstring());
        std::error_code error;
        if (real && !fs::exists(fs::symlink_status(*real, error)))
            continue;
        if (!DeleteDirectory(*path))
            LOG_ERROR(L":delete temp directory failure because %d !", errno);
    }
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
        LOG_ERROR(L": unzip files failure!");
        LOG_ERROR(L": update refused: the package %s did not unpack whole; nothing of it "
                  L"was installed",
                  file);
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
    if (!StartInstallCount(frame, packageDir)) {
        LOG_ERROR(L": the package %s was not installed: its unpacked directory cannot be "
                  L"measured",
                  file);
    } else if (!KillProcessByName(L"zel.exe", true)) {
        LOG_ERROR(L": the package %s was not installed: the running game client cannot be "
                  L"ended (the process list cannot be read); the launcher quits",
                  file);
        QuitLauncher(frame);
    } else if (!frame.FileTranvers(packageDir, packageDir, isTre)) {
        LOG_ERROR(L": install update files failure!");
        LOG_ERROR(L": update refused: the package %s could not be installed whole", file);
        RefusePatch(frame, holder);
        return;
    }
    DeleteDownloadDirectory(frame, file, packageDir);
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
