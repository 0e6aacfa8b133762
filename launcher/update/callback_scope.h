#pragma once
// The live-update callbacks run on the update worker, which shut-down already waits for. Should
// a module call them on a thread of its own, that thread is counted as a worker while the
// callback runs, and a callback that arrives once shut-down has begun does nothing.
#include <optional>

#include "launcher/mythread.h"

// Marks the calling thread as the update worker; LinkUpdate does so first.
void MarkUpdateWorkerThread();

class CallbackScope {
public:
    CallbackScope();
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;

    // False: shut-down has begun on a thread nobody waits for; return at once.
    bool Allowed() const { return !scope_ || scope_->Counted(); }

private:
    std::optional<WorkerScope> scope_;
};
