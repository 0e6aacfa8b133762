#pragma once
// The UI thread's one queue: posted window messages, posted work and WM_QUIT, in order.
// Every function here is safe on any thread.
#include <cstddef>
#include <functional>
#include <optional>

#include "duilib/types.h"

namespace DuiLib::detail {

struct QueuedItem {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::function<void()> work; // set for posted work instead of a message
};

// False, dropping the item, once the queue is closed.
bool Enqueue(QueuedItem item);
// Puts an item in front of everything queued (a nested loop handing WM_QUIT outwards).
bool EnqueueFront(QueuedItem item);
std::optional<QueuedItem> TakeNext();
size_t PendingCount();

// Queues fn and blocks until the UI thread ran it (true) or the queue was closed first (false).
bool EnqueueAndWait(std::function<void()> fn);

// The message loop ended: drops what is queued, refuses new items, releases every waiter.
void CloseQueue();
bool IsQueueClosed();

} // namespace DuiLib::detail
