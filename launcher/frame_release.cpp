#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/ui/server_list_wnd.h"
#include "launcher/ui/update_wnd.h"
#include "launcher/ui/web_panels.h"

// UI thread, after the message loop and after the workers have stopped.
void LauncherFrameWnd::ReleaseChildren() {
    ReleaseChildWindow(NewsWnd);
    ReleaseChildWindow(News2Wnd);
    ReleaseChildWindow(TopWnd);
    ReleaseChildWindow(ServerListWnd);
    ReleaseLogTarget();
    LogTarget = nullptr;
    UIUpdateWnd* updateWnd = UpdateWnd.exchange(nullptr);
    ReleaseChildWindow(updateWnd);
}
