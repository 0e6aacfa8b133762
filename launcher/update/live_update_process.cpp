// The live-update module's reports of a running patch, each handled by its own function: download
// steps, finished packages (unpacked and installed here), the versions reached and the end.
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <variant>

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
#include "launcher/update/patch_report.h"
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

void Handle(LauncherFrameWnd& frame, LivePatchModule&, const EndOfPatch&) {
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

void Handle(LauncherFrameWnd& frame, LivePatchModule& holder, const VersionsReport& report) {
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
        if (report.launcherStep)
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
    ShowCurrentVersion(report.launcherStep ? lversion : version);
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

// The integer share is meant: 0 until the file is whole; liveUpdateProgress shows the way there.
void Handle(LauncherFrameWnd&, LivePatchModule&, const DownloadStep& step) {
    // A size of 0 gives no share to show.
    if (step.bytesTotal > 0)
        ShowUpdateProgress(static_cast<float>(step.bytesDone / step.bytesTotal * 100));
}

// A finished package the launcher installs: a ".upd" or a ".tre", unpacked into dir, its path
// without the extension.
struct Package {
    wxString file;
    wxString dir;
    bool isTre = false;
};

std::optional<Package> InstallablePackage(const wxString& file) {
    const bool isTre = !file.EndsWith(L".upd") && file.EndsWith(L".tre");
    if (!isTre && !file.EndsWith(L".upd"))
        return std::nullopt;
    return Package{.file = file, .dir = file.substr(0, file.find_last_of(L'.')), .isTre = isTre};
}

// False when the patch goes no further with this package: it did not unpack whole (the patch is
// refused), or shut-down began while it unpacked (the next start fetches it again).
bool UnpackPackage(LauncherFrameWnd& frame, LivePatchModule& holder, const Package& package) {
    if (!UnzipPackage(package.dir.ToStdWstring(), package.isTre, ShowUpdateProgress)) {
        LOG_ERROR(L": unzip files failure!");
        LOG_ERROR(L": update refused: the package %s did not unpack whole; nothing of it "
                  L"was installed",
                  package.file);
        RefusePatch(frame, holder);
        return false;
    }
    return !WorkersShouldStop();
}

// The self-updater the unpacked package carries, if it carries one.
std::optional<wxString> PackagedSelfUpdater(const Package& package) {
    const wxString selfUpdater = package.dir + L"/launcherupdate.exe";
    const auto path = platform::ToPath(selfUpdater.ToStdWstring());
    std::error_code error;
    if (path && fs::exists(*path, error))
        return selfUpdater;
    return std::nullopt;
}

// A package with the self-updater is not installed here: the game client ends (the launcher
// quits when it cannot), and the next versions report hands over to the self-updater.
void PrepareHandOver(LauncherFrameWnd& frame, const Package& package, const wxString& selfUpdater) {
    if (!KillProcessByName(L"zel.exe", true))
        QuitLauncher(frame);
    frame.SelfUpdaterPath = selfUpdater;
    frame.SelfUpdateSourceDir = package.dir + L"/";
    frame.SelfUpdatePending = true;
}

// Sets the install counters to the unpacked package; false, logged, when it cannot be measured.
bool MeasurePackage(LauncherFrameWnd& frame, const Package& package) {
    if (StartInstallCount(frame, package.dir))
        return true;
    LOG_ERROR(L": the package %s was not installed: its unpacked directory cannot be "
              L"measured",
              package.file);
    return false;
}

// The running game client must not hold the files the install replaces. False, logged, when it
// cannot be ended: the launcher quits.
bool EndGameClient(LauncherFrameWnd& frame, const Package& package) {
    if (KillProcessByName(L"zel.exe", true))
        return true;
    LOG_ERROR(L": the package %s was not installed: the running game client cannot be "
              L"ended (the process list cannot be read); the launcher quits",
              package.file);
    QuitLauncher(frame);
    return false;
}

// False, logged, when the package could not be installed whole: the patch is refused.
bool InstallPackage(LauncherFrameWnd& frame, LivePatchModule& holder, const Package& package) {
    if (frame.FileTranvers(package.dir, package.dir, package.isTre))
        return true;
    LOG_ERROR(L": install update files failure!");
    LOG_ERROR(L": update refused: the package %s could not be installed whole", package.file);
    RefusePatch(frame, holder);
    return false;
}

// The tail of a finished package: the package and its unpacked directory go, unless a
// self-update waits for what they hold or the package is a ".tre" one. Only these two: the
// download directory may already hold the step's other packages.
void DeleteDownloadDirectory(LauncherFrameWnd& frame, const Package& package) {
    if (frame.SelfUpdatePending || !package.file.EndsWith(L".upd"))
        return;
    for (const wxString* path : {&package.dir, &package.file}) {
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

// A finished package, in order: unpack, hand-over (a package with the self-updater stops there),
// end the game client, install, tail.
void Handle(LauncherFrameWnd& frame, LivePatchModule& holder, const FinishedPackage& report) {
    frame.InstallTotal = 0;
    frame.InstallDone = 0;
    const std::optional<Package> package = InstallablePackage(report.file);
    if (!package || !UnpackPackage(frame, holder, *package))
        return;
    if (const std::optional<wxString> selfUpdater = PackagedSelfUpdater(*package)) {
        if (!report.noHandOver)
            PrepareHandOver(frame, *package, *selfUpdater);
        return;
    }
    DropPackagedVersionIni(package->dir);
    // A package that cannot be measured, or whose game client stays, is not installed but its
    // tail still runs; a refused install took the patch's leftovers with it.
    if (MeasurePackage(frame, *package) && EndGameClient(frame, *package) &&
        !InstallPackage(frame, holder, *package))
        return;
    DeleteDownloadDirectory(frame, *package);
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
    if (frame == nullptr)
        return;
    std::visit(
        [&](const auto& report) { Handle(*frame, *patchModule, report); },
        ReadPatchReport(fileName, bytesDone, bytesTotal, finished, launcherStep, noHandOver));
}
