#include "duilib/ui_thread.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "duilib/window.h"
#include "message_loop.h"
#include "message_queue.h"
#include "system/message_box.h"

namespace DuiLib {

namespace {

std::once_flag uiThreadOnce;
std::atomic<bool> uiThreadKnown{false};
std::thread::id uiThreadId; // written once, before uiThreadKnown is set

} // namespace

namespace detail {

// Several entry points may come first (SetInstance, InitBackend, Create): the first one wins.
void MarkUiThread() {
    std::call_once(uiThreadOnce, [] {
        uiThreadId = std::this_thread::get_id();
        uiThreadKnown.store(true);
        // From now on this library serves the message boxes asked for below it.
        platform::SetMessageBoxServer(
            [](const std::wstring& text, const std::wstring& caption, unsigned style) {
                return MessageBox(nullptr, text.c_str(), caption.c_str(), style);
            });
    });
}

bool IsUiThreadKnown() {
    return uiThreadKnown.load();
}

} // namespace detail

bool IsUiThread() {
    return uiThreadKnown.load() && uiThreadId == std::this_thread::get_id();
}

void PostToUiThread(std::function<void()> fn) {
    if (!fn)
        return;
    detail::QueuedItem item;
    item.work = std::move(fn);
    detail::Enqueue(std::move(item));
}

bool PostAndWait(std::function<void()> fn) {
    if (HasMessageLoopEnded())
        return false;
    if (IsUiThread()) {
        if (fn)
            fn();
        return true;
    }
    // Waiting on the UI thread itself would never end, hence the direct call above.
    return detail::EnqueueAndWait(fn ? std::move(fn) : [] {});
}

bool HasMessageLoopEnded() {
    return detail::IsQueueClosed();
}

void PostLatest::Post(float value) {
    latest_.store(value);
    if (pending_.exchange(true))
        return; // the pending hand-over will read this value
    PostToUiThread([this] {
        // Cleared before reading: a value stored after the read posts a new hand-over.
        pending_.store(false);
        show_(latest_.load());
    });
}

} // namespace DuiLib
