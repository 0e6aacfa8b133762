#include "launcher/update/callback_scope.h"

namespace {
thread_local bool onUpdateWorker = false;
} // namespace

void MarkUpdateWorkerThread() {
    onUpdateWorker = true;
}

CallbackScope::CallbackScope() {
    if (!onUpdateWorker)
        scope_.emplace();
}
