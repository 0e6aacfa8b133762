// The main window's preparation, on its first "windowinit": the child windows around it, the
// cached server list, and the flags and worker that start the background jobs.
#include <wx/filefn.h>

#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/mythread.h"
#include "launcher/ui/server_list_wnd.h"
#include "launcher/ui/update_wnd.h"
#include "launcher/ui/web_panels.h"
#include "system/ticks.h"

using namespace DuiLib;

namespace {

// Creates a child at its layout offset from the main window's top-left corner; the skin gives
// its size. A child whose creation fails is freed by its final message, which also clears the
// frame's pointer to it: callers read that pointer again afterwards.
template <typename Window>
void CreateChild(LauncherFrameWnd& frame, Window* child, const RECT& frameRect, LayoutSlot slot) {
    const LayoutOffset& offset = frame.LayoutTable[slot];
    child->Create(frame.GetHWND(), L"", UI_WNDSTYLE_DIALOG, 0, frameRect.left + offset.x,
                  frameRect.top + offset.y, 0, 0);
}

template <typename Panel> Panel* NewChild(LauncherFrameWnd& frame) {
    auto* child = new Panel();
    child->frame = &frame;
    return child;
}

} // namespace

// UI thread, once.
void LauncherFrameWnd::OnPrepare() {
    RECT rc;
    GetWindowRect(m_hWnd, &rc);

    NewsWnd = NewChild<UINewsWnd>(*this);
    CreateChild(*this, NewsWnd, rc, LayoutNews);
    News2Wnd = NewChild<UINews2Wnd>(*this);
    CreateChild(*this, News2Wnd, rc, LayoutNews2);
    TopWnd = NewChild<UITopWnd>(*this);
    CreateChild(*this, TopWnd, rc, LayoutTop);

    UpdateWnd = new UIUpdateWnd(this);
    CreateChild(*this, UpdateWnd.load(), rc, LayoutUpdate);

    ServerListWnd = NewChild<UIServerListWnd>(*this);
    CreateChild(*this, ServerListWnd, rc, LayoutServerList);
    if (ServerListWnd != nullptr)
        ServerListWnd->ShowWindow(false, true);

    // A list cached by an earlier run is shown at once.
    const wxString cached = InstancePath + L"ServerList.xml";
    if (GetFileSize(cached) >= 4 && wxFileExists(cached)) {
        ServerListFileName = L"ServerList.xml";
        if (UIUpdateWnd* shown = UpdateWnd.load())
            shown->InitServerList();
    }

    WindowPrepared = true;
    LoadServerListRequest = true;
    PrepareTick = platform::GetTickCount();
    LOG_MESSAGE(L": finish  launcher OnPrepare! ");

    auto* worker = new MyThread(this, &LauncherFrameWnd::LoadServerListFromXml);
    if (worker->Create() != wxTHREAD_NO_ERROR) {
        LOG_ERROR_IN_ANY_CASE(L"Can't create the Load  server list thread!");
        delete worker;
        return;
    }
    if (worker->Run() != wxTHREAD_NO_ERROR) {
        LOG_ERROR_IN_ANY_CASE(L"Load  server list Thread run Error!");
        delete worker;
    }
}
