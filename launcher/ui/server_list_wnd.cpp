#include "launcher/ui/server_list_wnd.h"

#include <algorithm>

#include "launcher/launcher.h"
#include "launcher/ui/update_wnd.h"

using namespace DuiLib;

namespace {

constexpr int MaxRows = 5;
constexpr int Margin = 4;
constexpr int BottomBelowUpdateWindow = 46;

COptionUI* ServerButtonOf(LauncherFrameWnd* frame) {
    UIUpdateWnd* updateWnd = frame ? frame->UpdateWnd.load() : nullptr;
    return updateWnd ? updateWnd->ServerBtn : nullptr;
}

} // namespace

void UIServerListWnd::OnSkinAttached() {
    List = dynamic_cast<CListUI*>(PaintManager.FindControl(L"domainlist"));
    if (frame != nullptr)
        BaseYOffset = frame->LayoutTable[LayoutUpdate].y;
}

void UIServerListWnd::Notify(TNotifyUI& msg) {
    if (msg.sType != L"itemclick")
        return;
    if (COptionUI* serverButton = ServerButtonOf(frame)) {
        if (msg.pSender != nullptr)
            serverButton->SetText(msg.pSender->GetText().GetData());
        serverButton->Selected(!serverButton->IsSelected());
    }
    ShowWindow(false, true);
}

void UIServerListWnd::AdjustPosition() {
    if (frame == nullptr)
        return;
    const int items = List != nullptr ? List->GetCount() : 0;
    const int rowHeight = List != nullptr ? List->GetItemLook().itemHeight : 0;
    const int height = std::min(items, MaxRows) * rowHeight + (items != 0 ? Margin : 0);
    LayoutOffset& slot = frame->LayoutTable[LayoutServerList];
    slot.y = BaseYOffset - height + BottomBelowUpdateWindow;
    RECT frameRect;
    GetWindowRect(frame->GetHWND(), &frameRect);
    SetWindowPos(m_hWnd, nullptr, frameRect.left + slot.x, frameRect.top + slot.y, -1, -1,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    RECT client;
    GetClientRect(m_hWnd, &client);
    ResizeClient(client.right - client.left, height);
}

void UIServerListWnd::CloseDropDown() {
    COptionUI* serverButton = ServerButtonOf(frame);
    if (serverButton == nullptr || !serverButton->IsSelected())
        return;
    serverButton->Selected(false);
    if (frame->ServerListWnd != nullptr)
        frame->ServerListWnd->ShowWindow(false, true);
}
