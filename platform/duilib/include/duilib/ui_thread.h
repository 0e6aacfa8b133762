#pragma once
// Handing work to the UI thread. UI objects are touched only there; workers post closures.
#include <functional>

namespace DuiLib {

// True on the thread that runs (or will run) the message loop: the thread that first
// initialised the library (InitBackend, SetInstance, CWindowWnd::Create or MessageLoop).
bool IsUiThread();

// Queues fn to run on the UI thread, also when called there (callers never re-enter); dropped
// when the loop has ended.
void PostToUiThread(std::function<void()> fn);

// Runs fn on the UI thread and waits for it. On the UI thread it runs at once. Returns false,
// without running fn, when the loop has ended or ends while waiting.
bool PostAndWait(std::function<void()> fn);

// True once the message loop has ended (WM_QUIT taken); stays true.
bool HasMessageLoopEnded();

} // namespace DuiLib
