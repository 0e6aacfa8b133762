// The update worker: waits for the prepared main window, finds an update address within
// 15000 ms, and lets the live-update module run the patch within 15000 ms of the answer.
#include <algorithm>
#include <atomic>
#include <mutex>

#include "duilib/ui_thread.h"
#include "launcher/config/settings_mutex.h"
#include "launcher/config/version_config.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/limits.h"
#include "launcher/log.h"
#include "launcher/mythread.h"
#include "launcher/update/callback_scope.h"
#include "launcher/update/live_patch_module.h"
#include "launcher/update/self_update.h"
#include "launcher/update/update_controls.h"
#include "liveupdate/live_patch.h"
#include "system/ticks.h"

namespace {

// Failed tries of one window are paced: the first wait is this long, each next one twice the
// last, and the last try is due this long before the window closes so that it still happens.
constexpr uint32_t kFirstRetryMs = 500;
constexpr uint32_t kLastTryLeadMs = 500;
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
uint32_t Since(uint32_t tick) {
    return static_cast<uint32_t>(platform::GetTickCount() - tick);
}

bool WindowOver(uint32_t since) {
    return Since(since) > kAnswerWindowMs;
}

// The waits between the failed tries of one 15000 ms window.
class RetryPacing {
public:
    // Sleeps until the next try is due: the last wait doubled, but no later than the last try
    // the window leaves room for; after that try, until the window has closed. False when
    // shut-down began meanwhile.
    bool WaitForNextTry(uint32_t windowStart) {
        constexpr uint32_t lastTry = kAnswerWindowMs - kLastTryLeadMs;
        const uint32_t start = platform::GetTickCount();
        const uint32_t elapsed = static_cast<uint32_t>(start - windowStart);
        uint32_t wait = 0;
        if (elapsed < lastTry)
            wait = std::min(delay_, lastTry - elapsed);
        else if (elapsed <= kAnswerWindowMs)
            wait = kAnswerWindowMs + 1 - elapsed;
        delay_ = std::min(delay_ * 2, kAnswerWindowMs);
        for (uint32_t waited = 0; waited < wait; waited = Since(start)) {
            if (Stopping())
                return false;
            platform::SleepMs(std::min(kPollMs, wait - waited));
        }
        return true;
    }

private:
    uint32_t delay_ = kFirstRetryMs;
};

void GiveUp(LauncherFrameWnd& frame) {
    frame.UpdateNeeded = false;
    SetEnterGameEnabled(true);
}

// One pass of the first phase; false when the worker is done.
bool ConnectPass(LauncherFrameWnd& frame, RetryPacing& pacing) {
    if (WindowOver(frame.PrepareTick)) {
        ShowNetworkHelp();
        LOG_ERROR(L": The network is busy,please update again later!");
        GiveUp(frame);
        return false;
    }
    if (!frame.CheckVersion()) {
        pacing.WaitForNextTry(frame.PrepareTick);
        return true;
    }
    UpdateServerConnected = true;
    ConnectTick = platform::GetTickCount();
    // The first phase's repeats are told now; the second phase's records start afresh.
    UpdateRecords().Flush();
    if (!frame.UpdateNeeded) {
        ShowUpdateServerAnswered();
        LOG_MESSAGE(L": The current is the latest version... ");
        SetEnterGameEnabled(true);
        return false;
    }
    LOG_MESSAGE(L": Connect the server and update... ");
    SetEnterGameEnabled(false);
    return true;
}

// One pass of the second phase; false when the worker is done. It is done too once the patch
// cleared UpdateNeeded (installed, or refused, which set the button itself).
bool UpdatePass(LauncherFrameWnd& frame, RetryPacing& pacing) {
    if (UpdateCompleted || !frame.UpdateNeeded)
        return false;
    if (WindowOver(ConnectTick)) {
        LOG_ERROR(L": The network is busy,please update again later!");
        ClearUpdateLeftovers(frame);
        GiveUp(frame);
        return false;
    }
    LivePatchModule* holder = frame.PatchModule;
    if (holder == nullptr || holder->patch == nullptr) {
        pacing.WaitForNextTry(ConnectTick);
        return true;
    }
    wxString version, lversion;
    {
        std::lock_guard lock(SettingsMutex());
        version = VersionConfig::Instance()->Version;
        lversion = VersionConfig::Instance()->LVersion;
    }
    if (!holder->patch->StartUpdate(version, lversion)) {
        pacing.WaitForNextTry(ConnectTick);
        return true;
    }
    holder->Unload();
    frame.PatchModule = nullptr;
    UpdateCompleted = true;
    EnableEnterGameForChosenServer();
    return false;
}

// The passes until the worker is done or shut-down begins.
void RunPasses() {
    RetryPacing connectPacing;
    RetryPacing updatePacing;
    while (!Stopping()) {
        LauncherFrameWnd& frame = *TheLauncherFrame.load();
        LOG_MESSAGE_COLLAPSED(UpdateRecords(), L": Please later is connect to the server... ");
        const bool goOn = UpdateServerConnected ? UpdatePass(frame, updatePacing)
                                                : ConnectPass(frame, connectPacing);
        if (!goOn)
            return;
    }
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
    RunPasses();
    UpdateRecords().Flush();
}
