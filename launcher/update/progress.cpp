#include "launcher/update/progress.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "duilib/ui_thread.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/ui/update_wnd.h"
#include "launcher/update/progress_observer.h"

namespace {

using Clock = std::chrono::steady_clock;

// Progress is worth about ten updates a second.
constexpr auto kHandOverInterval = std::chrono::milliseconds(100);
// The hand-over thread ends after this long without reports; the next report starts another.
constexpr auto kIdleEnd = std::chrono::seconds(2);

// Shared by the reporting threads and the hand-over thread. Never destroyed: the hand-over
// thread may still be waiting on it while the process exits.
struct ProgressState {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<float> pending; // the newest value not yet handed to the UI thread
    Clock::time_point lastHandOver;
    bool handOverRunning = false;
    std::function<void(float)> observer;
};

ProgressState& State() {
    static ProgressState* state = new ProgressState;
    return *state;
}

// UI thread. The frame or its update window may be gone by the time this runs.
void Show(float percent) {
    LauncherFrameWnd* frame = TheLauncherFrame.load();
    UIUpdateWnd* window = frame ? frame->UpdateWnd.load() : nullptr;
    if (window != nullptr)
        window->SetProgress(percent);
}

// The hand-over thread: passes the newest value to the UI thread at most once per interval,
// so a burst of reports costs the UI one update while the last value still arrives. It holds
// no frame or window: those are looked up on the UI thread.
void HandOver() {
    ProgressState& state = State();
    std::unique_lock lock(state.mutex);
    for (;;) {
        if (!state.changed.wait_for(lock, kIdleEnd, [&] { return state.pending.has_value(); })) {
            state.handOverRunning = false;
            return;
        }
        // Newer reports keep replacing the pending value while this waits.
        const Clock::time_point due = state.lastHandOver + kHandOverInterval;
        while (Clock::now() < due)
            state.changed.wait_until(lock, due);
        const float percent = *state.pending;
        state.pending.reset();
        state.lastHandOver = Clock::now();
        lock.unlock();
        if (!DuiLib::HasMessageLoopEnded())
            DuiLib::PostToUiThread([percent] { Show(percent); });
        lock.lock();
    }
}

} // namespace

void SetProgressObserver(std::function<void(float)> observer) {
    ProgressState& state = State();
    std::lock_guard lock(state.mutex);
    state.observer = std::move(observer);
}

void ShowUpdateProgress(float percent) {
    ProgressState& state = State();
    std::function<void(float)> observer;
    {
        std::lock_guard lock(state.mutex);
        observer = state.observer;
    }
    if (observer)
        observer(percent);
    LauncherFrameWnd* frame = TheLauncherFrame.load();
    if (frame == nullptr || frame->UpdateWnd.load() == nullptr)
        return;
    std::lock_guard lock(state.mutex);
    state.pending = percent;
    if (!state.handOverRunning) {
        try {
            std::thread(HandOver).detach();
            state.handOverRunning = true;
        } catch (const std::system_error&) {
            return; // no thread to be had: this report is lost, a later one may pass
        }
    }
    state.changed.notify_one();
}
