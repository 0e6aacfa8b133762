// The update window's messages and notifications: its skin, its caption band, the zoom
// buttons, and the server button and area buttons that drive the drop-down.
#include "launcher/config/setting_config.h"
#include "launcher/launcher.h"
#include "launcher/ui/child_window.h"
#include "launcher/ui/server_list_wnd.h"
#include "launcher/ui/update_wnd.h"
#include "launcher/ui/window_chrome.h"

using namespace DuiLib;

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
    const int mode = frame != nullptr ? frame->ScreenSizeMode : 0;
    AttachSkinOrEmptyRoot(SkinForMode(L"server", mode), PaintManager);
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
    case WM_SIZE:
        ApplyRoundCorners(m_hWnd, PaintManager);
        return defaultHandling();
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
    case WM_GETMINMAXINFO:
        FillMaximisedSize(m_hWnd, lParam);
        return defaultHandling();
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
        return 0;
    case WM_NCACTIVATE:
        if (IsIconic(m_hWnd))
            return defaultHandling();
        return wParam == 0 ? 1 : 0;
    case WM_NCHITTEST:
        // The screen point is compared as it comes with the client-area values.
        return CaptionHitTest(m_hWnd, PaintManager,
                              POINT{SignedLowWord(lParam), SignedHighWord(lParam)},
                              CaptionClickables::ButtonsOptionsTexts);
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
