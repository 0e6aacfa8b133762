// The live-update module's fine progress of the current download.
#include "launcher/launcher.h"
#include "launcher/update/callback_scope.h"
#include "launcher/update/progress.h"

// Runs on the thread that called StartUpdate (the update worker); the bar moves on the UI thread.
int LauncherFrameWnd::liveUpdateProgress(void*, double total, double done) {
    const CallbackScope scope;
    if (!scope.Allowed() || !(total > 0))
        return 0;
    const double percent = done / total * 100;
    ShowUpdateProgress(static_cast<float>(static_cast<int>(percent)));
    return 0;
}
