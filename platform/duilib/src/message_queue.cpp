#include "message_queue.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "duilib/window_backend.h"

namespace DuiLib::detail {

namespace {

std::mutex queueMutex;
std::condition_variable doneCv; // EnqueueAndWait's waiters
std::deque<QueuedItem> items;
bool closed = false;

// Called after the push: a wake-up is remembered by the backend until its next wait, so one
// that comes between the UI thread's empty check and its wait is not lost.
void WakeUiThread() {
    if (WindowBackend* backend = BackendIfStarted())
        backend->Wake();
}

bool Push(QueuedItem item, bool front) {
    {
        std::lock_guard lock(queueMutex);
        if (closed)
            return false;
        if (front)
            items.push_front(std::move(item));
        else
            items.push_back(std::move(item));
    }
    WakeUiThread();
    return true;
}

} // namespace

bool Enqueue(QueuedItem item) {
    return Push(std::move(item), false);
}

bool EnqueueFront(QueuedItem item) {
    return Push(std::move(item), true);
}

std::optional<QueuedItem> TakeNext() {
    std::lock_guard lock(queueMutex);
    if (items.empty())
        return std::nullopt;
    QueuedItem item = std::move(items.front());
    items.pop_front();
    return item;
}

size_t PendingCount() {
    std::lock_guard lock(queueMutex);
    return items.size();
}

bool EnqueueAndWait(std::function<void()> fn) {
    auto done = std::make_shared<bool>(false);
    QueuedItem item;
    item.work = [fn = std::move(fn), done] {
        fn();
        {
            std::lock_guard lock(queueMutex);
            *done = true;
        }
        doneCv.notify_all();
    };
    if (!Push(std::move(item), false))
        return false;
    // Closing the queue drops the item; then nothing will ever run it.
    std::unique_lock lock(queueMutex);
    doneCv.wait(lock, [&] { return *done || closed; });
    return *done;
}

void CloseQueue() {
    std::deque<QueuedItem> dropped;
    {
        std::lock_guard lock(queueMutex);
        closed = true;
        dropped.swap(items);
    }
    // The dropped closures are destroyed outside the lock: their captures may post again.
    dropped.clear();
    doneCv.notify_all();
}

bool IsQueueClosed() {
    std::lock_guard lock(queueMutex);
    return closed;
}

} // namespace DuiLib::detail
