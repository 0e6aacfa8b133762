#include "launcher/update/progress.h"

#include <mutex>

#include "duilib/ui_thread.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/ui/update_wnd.h"
#include "launcher/update/progress_observer.h"

namespace {

std::mutex observerMutex;
std::function<void(float)>& Observer() {
    static std::function<void(float)> observer;
    return observer;
}

// UI thread. The frame or its update window may be gone by the time this runs.
void Show(float percent) {
    LauncherFrameWnd* frame = TheLauncherFrame.load();
    UIUpdateWnd* window = frame ? frame->UpdateWnd.load() : nullptr;
    if (window != nullptr)
        window->SetProgress(percent);
}

// Never destroyed: a hand-over may still be queued while the process exits.
DuiLib::PostLatest& ProgressHandOver() {
    static auto* handOver = new DuiLib::PostLatest(Show);
    return *handOver;
}

} // namespace

void SetProgressObserver(std::function<void(float)> observer) {
    std::lock_guard lock(observerMutex);
    Observer() = std::move(observer);
}

void ShowUpdateProgress(float percent) {
    std::function<void(float)> observer;
    {
        std::lock_guard lock(observerMutex);
        observer = Observer();
    }
    if (observer)
        observer(percent);
    LauncherFrameWnd* frame = TheLauncherFrame.load();
    if (frame == nullptr || frame->UpdateWnd.load() == nullptr)
        return;
    ProgressHandOver().Post(percent);
}
