// The server-list worker: one download of the list per run, loaded into the update window on
// the UI thread.
#include <atomic>
#include <chrono>
#include <thread>

#include "duilib/ui_thread.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/mythread.h"
#include "launcher/server_list_download.h"
#include "launcher/ui/update_wnd.h"
#include "launcher/update/update_controls.h"

using namespace DuiLib;

namespace {

std::atomic<bool> ServerListPassDone{false};
constexpr auto PollInterval = std::chrono::milliseconds(20);

} // namespace

// Runs on the server-list worker. The model, the drop-down and the buttons are touched only on
// the UI thread: the worker hands each step over and waits; when the loop has ended it stops.
void LauncherFrameWnd::LoadServerListFromXml(void*) {
    if (TheLauncherFrame.load() == nullptr)
        return;
    SetEnterGameEnabled(false);
    while (!ServerListPassDone) {
        LauncherFrameWnd* frame = TheLauncherFrame.load();
        if (frame == nullptr || WorkersShouldStop() || HasMessageLoopEnded())
            return;
        if (!frame->LoadServerListRequest) {
            std::this_thread::sleep_for(PollInterval);
            continue;
        }
        const bool ok =
            DownLoadServerListFile(CPaintManagerUI::GetInstancePath().GetData(),
                                   frame->ServerListUrl1, frame->ServerListUrl2, &WorkerStopFlag());
        // Shut-down abandons the pass: nothing to load into windows that are going away.
        if (WorkersShouldStop())
            return;
        if (ok) {
            LOG_MESSAGE_IN_ANY_CASE(L"DownLoadServerListFile success!");
            bool loaded = false;
            const bool ran = PostAndWait([frame, &loaded] {
                UIUpdateWnd* updateWnd = frame->UpdateWnd.load();
                frame->ServerListFileName = L"ServerList.xml";
                loaded = updateWnd != nullptr && updateWnd->InitServerList();
            });
            if (ran && !loaded)
                LOG_ERROR(L": Connect to the server list of errors!");
        } else {
            LOG_ERROR_IN_ANY_CASE(L"DownLoadServerListFile faiure!");
            bool empty = false;
            const bool ran = PostAndWait([frame, &empty] {
                UIUpdateWnd* updateWnd = frame->UpdateWnd.load();
                empty = updateWnd == nullptr || updateWnd->Areas.empty();
            });
            if (ran && empty)
                LOG_ERROR(L": Connect to the server list of errors!");
        }
        frame->LoadServerListRequest = false;
        ServerListPassDone = true;
    }
}
