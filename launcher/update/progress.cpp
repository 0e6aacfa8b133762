#include "launcher/update/progress.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <limits>
#include <mutex>

#include "duilib/ui_thread.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/ui/update_wnd.h"
#include "launcher/update/progress_observer.h"
#include "system/path.h"

namespace fs = std::filesystem;

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

bool StartInstallCount(LauncherFrameWnd& frame, const wxString& dir) {
    frame.InstallTotal = 0;
    frame.InstallDone = 0;
    const auto path = platform::ToPath(dir.ToStdWstring());
    std::error_code error;
    if (!path || !fs::is_directory(fs::symlink_status(*path, error)))
        return false;
    uint64_t bytes = 0;
    fs::recursive_directory_iterator it(*path, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code sizeError;
        if (it->is_regular_file(sizeError) && !it->is_symlink(sizeError))
            bytes += it->file_size(sizeError);
    }
    if (error)
        return false;
    frame.InstallTotal = bytes;
    return true;
}

void AddInstalled(LauncherFrameWnd& frame, uint64_t bytes) {
    const uint64_t before = frame.InstallDone.load();
    // Saturates: a wrap would throw the bar back to the start.
    const uint64_t done = before + std::min(bytes, std::numeric_limits<uint64_t>::max() - before);
    frame.InstallDone = done;
    const uint64_t total = frame.InstallTotal.load();
    const double share =
        total == 0 ? 100.0 : static_cast<double>(done) / static_cast<double>(total) * 100.0;
    ShowUpdateProgress(static_cast<float>(share));
}
