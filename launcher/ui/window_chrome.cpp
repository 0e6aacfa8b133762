#include "launcher/ui/window_chrome.h"

#include "duilib/controls.h"
#include "duilib/window.h"

using namespace DuiLib;

void ApplyRoundCorners(HWND hwnd, CPaintManagerUI& manager) {
    const SIZE corner = manager.GetRoundCorner();
    if (IsIconic(hwnd) || (corner.cx == 0 && corner.cy == 0))
        return;
    CDuiRect rc;
    GetWindowRect(hwnd, &rc);
    rc.Offset(-rc.left, -rc.top);
    rc.right++;
    rc.bottom++;
    SetWindowRoundRegion(hwnd, rc, corner);
}

LRESULT CaptionHitTest(HWND hwnd, CPaintManagerUI& manager, POINT pt,
                       CaptionClickables clickables) {
    RECT client;
    GetClientRect(hwnd, &client);
    const RECT caption = manager.GetCaptionRect();
    if (pt.x < client.left + caption.left || pt.x >= client.right - caption.right ||
        pt.y < caption.top || pt.y >= caption.bottom)
        return HTCLIENT;
    CControlUI* control = manager.FindControl(pt);
    if (control == nullptr)
        return HTCLIENT;
    const CStdString cls = control->GetClass();
    if (cls == L"ButtonUI")
        return HTCLIENT;
    if (clickables == CaptionClickables::ButtonsOptionsTexts &&
        (cls == L"OptionUI" || cls == L"TextUI"))
        return HTCLIENT;
    return HTCAPTION;
}

void FillMaximisedSize(HWND hwnd, LPARAM lParam) {
    CDuiRect work = GetMonitorWorkArea(hwnd);
    work.Offset(-work.left, -work.top);
    if (auto* info = reinterpret_cast<MINMAXINFO*>(lParam)) {
        info->ptMaxPosition = {work.left, work.top};
        info->ptMaxSize = {work.GetWidth(), work.GetHeight()};
    }
}

void ShowZoomButtons(CPaintManagerUI& manager, bool zoomed) {
    if (CControlUI* maxButton = manager.FindControl(L"maxbtn"))
        maxButton->SetVisible(!zoomed);
    if (CControlUI* restoreButton = manager.FindControl(L"restorebtn"))
        restoreButton->SetVisible(zoomed);
}
