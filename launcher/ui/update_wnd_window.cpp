// The update window's messages and notifications: its skin, its caption band, the zoom
// buttons, and the server button and area buttons that drive the drop-down.
#include "launcher/config/setting_config.h"
#include "launcher/launcher.h"
#include "launcher/ui/child_window.h"
#include "launcher/ui/server_list_wnd.h"
#include "launcher/ui/update_wnd.h"

using namespace DuiLib;

namespace {

void ShowZoomButtons(CPaintManagerUI& manager, bool zoomed) {
    if (CControlUI* maxButton = manager.FindControl(L"maxbtn"))
        maxButton->SetVisible(!zoomed);
    if (CControlUI* restoreButton = manager.FindControl(L"restorebtn"))
        restoreButton->SetVisible(zoomed);
}

} // namespace

LPCTSTR UIUpdateWnd::GetWindowClassName() const {
    return L"UIUpdateFrame";
}

UINT UIUpdateWnd::GetClassStyle() const {
    return CS_DBLCLKS;
}

LRESULT UIUpdateWnd::OnCreate() {
    const UINT style = GetWindowStyle(m_hWnd);
    SetWindowStyle(m_hWnd, (style & ~WS_CAPTION) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    PaintManager.Init(m_hWnd);
    CDialogBuilder builder;
    const int mode = frame != nullptr ? frame->ScreenSizeMode : 0;
    CControlUI* root =
        builder.Create(SkinForMode(L"server", mode).GetData(), nullptr, nullptr, &PaintManager);
    if (root == nullptr)
        return -1;
    PaintManager.AttachDialog(root);
    PaintManager.AddNotifier(this);
    CurVersionTxt = dynamic_cast<CTextUI*>(PaintManager.FindControl(L"CurVersionTxt"));
    ProgressTxt = dynamic_cast<CTextUI*>(PaintManager.FindControl(L"ProgressTxt"));
    ProgressCtrl = dynamic_cast<CProgressUI*>(PaintManager.FindControl(L"ProgressCtrl"));
    ServerBtn = dynamic_cast<COptionUI*>(PaintManager.FindControl(L"ServerBtn"));
    ProgressImg = PaintManager.FindControl(L"ProgressImg");
    return 0;
}

LRESULT UIUpdateWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    const auto defaultHandling = [&]() -> LRESULT {
        LRESULT result = 0;
        if (PaintManager.MessageHandler(uMsg, wParam, lParam, result))
            return result;
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    };

    switch (uMsg) {
    case WM_CREATE:
        return OnCreate();
    case WM_DESTROY:
        PostQuitMessage(0);
        return defaultHandling();
    case WM_SIZE: {
        const SIZE corner = PaintManager.GetRoundCorner();
        if (!IsIconic(m_hWnd) && (corner.cx != 0 || corner.cy != 0)) {
            CDuiRect rc;
            GetWindowRect(m_hWnd, &rc);
            rc.Offset(-rc.left, -rc.top);
            rc.right++;
            rc.bottom++;
            SetWindowRoundRegion(m_hWnd, rc, corner);
        }
        return defaultHandling();
    }
    case WM_MOUSEACTIVATE: {
        const LRESULT result = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(PaintManager.GetPaintWindow(), &pt);
        CControlUI* control = PaintManager.FindControl(pt);
        if ((control == nullptr || control != ServerBtn) && frame != nullptr &&
            frame->ServerListWnd != nullptr)
            frame->ServerListWnd->CloseDropDown();
        return result;
    }
    case WM_GETMINMAXINFO: {
        CDuiRect work = GetMonitorWorkArea(m_hWnd);
        work.Offset(-work.left, -work.top);
        if (auto* info = reinterpret_cast<MINMAXINFO*>(lParam)) {
            info->ptMaxPosition = {work.left, work.top};
            info->ptMaxSize = {work.GetWidth(), work.GetHeight()};
        }
        return defaultHandling();
    }
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
        return 0;
    case WM_NCACTIVATE:
        if (IsIconic(m_hWnd))
            return defaultHandling();
        return wParam == 0 ? 1 : 0;
    case WM_NCHITTEST: {
        // The screen point is compared as it comes with the client-area values.
        const POINT pt{SignedLowWord(lParam), SignedHighWord(lParam)};
        RECT client;
        GetClientRect(m_hWnd, &client);
        const RECT caption = PaintManager.GetCaptionRect();
        if (pt.x >= client.left + caption.left && pt.x < client.right - caption.right &&
            pt.y >= caption.top && pt.y < caption.bottom) {
            if (CControlUI* control = PaintManager.FindControl(pt)) {
                const CStdString cls = control->GetClass();
                if (cls != L"ButtonUI" && cls != L"OptionUI" && cls != L"TextUI")
                    return HTCAPTION;
            }
        }
        return HTCLIENT;
    }
    case WM_SYSCOMMAND: {
        if (wParam == SC_CLOSE) {
            PostQuitMessage(0);
            return 0;
        }
        const bool wasZoomed = IsZoomed(m_hWnd);
        const LRESULT result = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
        const bool zoomed = IsZoomed(m_hWnd);
        if (zoomed != wasZoomed)
            ShowZoomButtons(PaintManager, zoomed);
        return result;
    }
    default:
        return defaultHandling();
    }
}

void UIUpdateWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == L"windowinit") {
        // A bar without a range puts the marker at its start.
        if (ProgressCtrl != nullptr) {
            const int maximum = ProgressCtrl->GetMaxValue();
            MoveProgressImg(maximum == 0 ? 0.0f
                                         : static_cast<float>(ProgressCtrl->GetValue()) /
                                               static_cast<float>(maximum));
        }
        return;
    }
    if (msg.sType != L"click" || msg.pSender == nullptr)
        return;
    UIServerListWnd* dropDown = frame != nullptr ? frame->ServerListWnd : nullptr;
    if (msg.pSender != ServerBtn && dropDown != nullptr)
        dropDown->CloseDropDown();
    const CStdString name = msg.pSender->GetName();
    if (name == L"FullScreenOption") {
        SettingConfig* settings = SettingConfig::Instance();
        settings->FullScreen = !settings->FullScreen;
        return;
    }
    if (msg.pSender == ServerBtn) {
        if (dropDown != nullptr) {
            dropDown->ShowWindow(!ServerBtn->IsSelected(), true);
            dropDown->AdjustPosition();
        }
        return;
    }
    const wchar_t* const areaButtons[] = {L"FirstServer", L"DServer", L"WServer"};
    for (int area = 0; area < 3; ++area) {
        if (name == areaButtons[area] && dropDown != nullptr && dropDown->List != nullptr) {
            ShowArea(area);
            dropDown->AdjustPosition();
        }
    }
}
