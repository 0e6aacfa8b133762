// The main window's notifications.
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/ui/server_list_wnd.h"
#include "system/ticks.h"

using namespace DuiLib;

void LauncherFrameWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == L"windowinit") {
        OnPrepare();
        return;
    }
    if (msg.sType != L"click")
        return;
    if (ServerListWnd != nullptr)
        ServerListWnd->CloseDropDown();
    if (msg.pSender == CloseBtn)
        PostQuitMessage(0);
    else if (msg.pSender == MinBtn)
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

void LauncherFrameWnd::OnPrepare() {
    WindowPrepared = true;
    LoadServerListRequest = true;
    PrepareTick = platform::GetTickCount();
    LOG_MESSAGE(L"%s(%d): finish  launcher OnPrepare! ");
}
