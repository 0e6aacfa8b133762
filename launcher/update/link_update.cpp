// The update worker: waits for the prepared main window, finds an update address within
// 15000 ms, and lets the live-update module run the patch within 15000 ms of the answer.
#include <atomic>
#include <mutex>

#include "duilib/ui_thread.h"
#include "launcher/config/settings_mutex.h"
#include "launcher/config/version_config.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/mythread.h"
#include "launcher/update/callback_scope.h"
#include "launcher/update/live_patch_module.h"
#include "launcher/update/update_controls.h"
#include "liveupdate/live_patch.h"
#include "system/ticks.h"

namespace {

constexpr uint32_t kAnswerWindowMs = 15000;
constexpr uint32_t kPollMs = 50;
// The window is prepared a moment after start; a finer poll lets the version check begin then
// rather than up to a whole kPollMs later.
constexpr uint32_t kPreparedPollMs = 5;

// Process-wide: an update address answered (the second phase), and StartUpdate returned true.
std::atomic<bool> UpdateServerConnected{false};
std::atomic<bool> UpdateCompleted{false};

bool Stopping() {
    return WorkersShouldStop() || DuiLib::HasMessageLoopEnded() ||
           TheLauncherFrame.load() == nullptr;
}

// Unsigned difference, so a tick counter that wrapped meanwhile still counts right.
bool WindowOver(uint32_t since) {
    return static_cast<uint32_t>(platform::GetTickCount() - since) > kAnswerWindowMs;
}

void GiveUp(LauncherFrameWnd& frame) {
    frame.UpdateNeeded = false;
    SetEnterGameEnabled(true);
}

// One pass of the first phase; false when the worker is done.
bool ConnectPass(LauncherFrameWnd& frame) {
    if (WindowOver(frame.PrepareTick)) {
        ShowNetworkHelp();
        LOG_ERROR(L"%s(%d): The network is busy,please update again later!");
        GiveUp(frame);
        return false;
    }
    if (!frame.CheckVersion()) {
        platform::SleepMs(kPollMs);
        return true;
    }
    UpdateServerConnected = true;
    ConnectTick = platform::GetTickCount();
    ShowUpdateServerAnswered();
    if (!frame.UpdateNeeded) {
        LOG_MESSAGE(L"%s(%d): The current is the latest version... ");
        SetEnterGameEnabled(true);
        return false;
    }
    LOG_MESSAGE(L"%s(%d): Connect the server and update... ");
    SetEnterGameEnabled(false);
    return true;
}

// One pass of the second phase; false when the worker is done. It is done too once the patch
// cleared UpdateNeeded (installed, or refused, which set the button itself).
bool UpdatePass(LauncherFrameWnd& frame) {
    if (UpdateCompleted || !frame.UpdateNeeded)
        return false;
    if (WindowOver(ConnectTick)) {
        LOG_ERROR(L"%s(%d): The network is busy,please update again later!");
        GiveUp(frame);
        return false;
    }
    LivePatchModule* holder = frame.PatchModule;
    if (holder == nullptr || holder->patch == nullptr) {
        platform::SleepMs(kPollMs);
        return true;
    }
    wxString version, lversion;
    {
        std::lock_guard lock(SettingsMutex());
        version = VersionConfig::Instance()->Version;
        lversion = VersionConfig::Instance()->LVersion;
    }
    if (!holder->patch->StartUpdate(version, lversion)) {
        platform::SleepMs(kPollMs);
        return true;
    }
    holder->Unload();
    frame.PatchModule = nullptr;
    UpdateCompleted = true;
    EnableEnterGameForChosenServer();
    return false;
}

} // namespace

// Runs on the update worker (a MyThread started by WinMain). It ends when it is done, when
// shut-down begins or when the message loop has ended; every wait sleeps between polls.
void LauncherFrameWnd::LinkUpdate(void*) {
    MarkUpdateWorkerThread();
    while (true) {
        if (Stopping())
            return;
        if (TheLauncherFrame.load()->WindowPrepared)
            break;
        platform::SleepMs(kPreparedPollMs);
    }
    for (;;) {
        if (Stopping())
            return;
        LauncherFrameWnd& frame = *TheLauncherFrame.load();
        LOG_MESSAGE(L"%s(%d): Please later is connect to the server... ");
        const bool goOn = UpdateServerConnected ? UpdatePass(frame) : ConnectPass(frame);
        if (!goOn)
            return;
    }
}
