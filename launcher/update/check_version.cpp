// The version check: the live-update module is loaded afresh, an update address is asked, and
// the installed versions are compared with the server's.
#include <mutex>

#include <wx/filefn.h>

#include "duilib/window.h"
#include "launcher/config/settings_mutex.h"
#include "launcher/config/version_config.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/update/delete_directory.h"
#include "launcher/update/kill_process.h"
#include "launcher/update/live_patch_module.h"
#include "liveupdate/live_patch.h"

namespace {

struct LocalVersions {
    wxString game;
    wxString launcher;
};

LocalVersions ReadLocalVersions() {
    std::lock_guard lock(SettingsMutex());
    const VersionConfig* versions = VersionConfig::Instance();
    return {versions->Version, versions->LVersion};
}

} // namespace

// Runs on the update worker. True when an update address answered, or when the module offers
// no object (nothing to update through); false when no address answered or the game client of
// a fresh install cannot be ended.
bool LauncherFrameWnd::CheckVersion() {
    const wxString temp = InstancePath + L"temp";
    if (wxDirExists(temp))
        DeleteDirectory(temp);

    LivePatchModule& holder = TheLivePatchModule();
    PatchModule = &holder;
    const LocalVersions local = ReadLocalVersions();
    const bool loaded = holder.Load();
    if (loaded) {
        if (!UpdateConnected) {
            bool connected = false;
            for (const wxString* address :
                 {&CDNUpdateVersionUrl, &UpdateVersionUrl1, &UpdateVersionUrl2}) {
                if (!address->empty() && (connected = holder.Connect(*address, local.game)))
                    break;
            }
            UpdateConnected = connected;
            if (!connected) {
                LOG_ERROR_COLLAPSED(
                    UpdateRecords(),
                    L": can not connect update server! may be update server not open! ");
                return false;
            }
        }
        const wxString serverGame = holder.patch->GetVersion();
        const wxString serverLauncher = holder.GetLVersion();
        UpdateNeeded = !(local.game == serverGame && local.launcher == serverLauncher);
    }

    if (local.game == L"0.0") {
        if (!KillProcessByName(L"zel.exe", true)) {
            DuiLib::PostMessage(GetHWND(), DuiLib::WM_QUIT, 0, 0);
            return false;
        }
        const wxString data = InstancePath + L"data";
        if (wxDirExists(data))
            DeleteDirectory(data);
    }

    if (loaded) {
        holder.patch->patchModule = &holder;
        holder.patch->frame = this;
        holder.patch->processCallback = &LauncherFrameWnd::liveUpdateProcess;
        holder.patch->progressCallback = &LauncherFrameWnd::liveUpdateProgress;
    }
    return true;
}
