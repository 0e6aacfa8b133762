#include "message_loop.h"

#include <chrono>
#include <functional>
#include <optional>

#include "duilib/ui_thread.h"
#include "duilib/window.h"
#include "duilib/window_backend.h"
#include "message_queue.h"
#include "termination_signals.h"
#include "window_table.h"

namespace DuiLib::detail {

namespace {

// Long enough to cost nothing, short enough to notice a termination signal promptly.
constexpr std::chrono::milliseconds kWaitSlice{50};

int runningLoops = 0; // the main loop and modal loops currently on the stack

struct LoopScope {
    LoopScope() { ++runningLoops; }
    ~LoopScope() { --runningLoops; }
};

// A termination signal closes the application as its main window's close box would.
void AnswerTerminationRequest() {
    for (HWND hwnd : WindowsInCreationOrder()) {
        const WindowState* state = FindWindow(hwnd);
        if (state != nullptr && state->owner == nullptr && state->object != nullptr) {
            SendMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            return;
        }
    }
    PostQuitMessage(0);
}

void Deliver(QueuedItem& item) {
    if (item.work) {
        item.work();
        return;
    }
    WindowState* state = FindWindow(item.hwnd);
    if (state != nullptr && !state->destroying && state->object != nullptr)
        state->object->Dispatch(item.message, item.wParam, item.lParam);
}

// Runs items until done() holds or WM_QUIT is taken (its exit code is returned then).
std::optional<int> Run(const std::function<bool()>& done, bool block) {
    while (true) {
        if (TakeTerminationRequest())
            AnswerTerminationRequest();
        if (done())
            break;
        std::optional<QueuedItem> item = TakeNext();
        if (!item) {
            if (!block)
                break;
            Backend().WaitForWork(kWaitSlice);
            continue;
        }
        // As on the desktop, WM_QUIT ends the loop whichever window it was posted to.
        if (item->message == WM_QUIT && !item->work)
            return static_cast<int>(item->wParam);
        Deliver(*item);
    }
    return std::nullopt;
}

void HandQuitOutwards(int exitCode) {
    QueuedItem quit;
    quit.message = WM_QUIT;
    quit.wParam = static_cast<WPARAM>(exitCode);
    EnqueueFront(std::move(quit));
}

void EndMainLoop() {
    TerminationHandlersLoopEnded();
    CloseQueue();
}

} // namespace

int RunMainLoop() {
    MarkUiThread();
    if (HasMessageLoopEnded())
        return 0;
    Backend(); // the backend must exist before the first wait
    // A signal that came while the application was starting ends it here, before anything
    // queued for the start runs (the first "windowinit" and all it would set going).
    if (TakeTerminationRequest()) {
        EndMainLoop();
        return 0;
    }
    std::optional<int> exitCode;
    {
        LoopScope scope;
        exitCode = Run([] { return false; }, true);
    }
    EndMainLoop();
    return exitCode.value_or(0);
}

bool RunModalLoop(HWND hwnd) {
    std::optional<int> quit;
    {
        LoopScope scope;
        quit = Run(
            [hwnd] {
                const WindowState* state = FindWindow(hwnd);
                return state == nullptr || state->destroying;
            },
            true);
    }
    if (quit)
        HandQuitOutwards(*quit);
    return !quit;
}

bool PumpPending() {
    MarkUiThread();
    if (HasMessageLoopEnded())
        return false;
    const std::optional<int> quit = Run([] { return PendingCount() == 0; }, false);
    if (!quit)
        return true;
    // Taken inside a running loop, WM_QUIT belongs to that loop; otherwise the pump is the loop.
    if (runningLoops > 0)
        HandQuitOutwards(*quit);
    else
        EndMainLoop();
    return false;
}

} // namespace DuiLib::detail
