#pragma once
// Handing work to the UI thread. UI objects are touched only there; workers post closures.
#include <atomic>
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

// Hands the newest of a stream of values (progress, say) to show on the UI thread without a
// thread of its own: the value waits in an atomic and one hand-over is posted only when none is
// pending, so a burst of reports costs the UI one call that sees the last value. The object
// must outlive the message loop (give it static storage).
class PostLatest {
public:
    explicit PostLatest(std::function<void(float)> show) : show_(std::move(show)) {}
    PostLatest(const PostLatest&) = delete;
    PostLatest& operator=(const PostLatest&) = delete;

    // Any thread.
    void Post(float value);

private:
    std::function<void(float)> show_;
    std::atomic<float> latest_{0.0f};
    std::atomic<bool> pending_{false};
};

} // namespace DuiLib
