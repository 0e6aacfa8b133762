// The main window's message handling.
#include <atomic>

#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/ui/server_list_wnd.h"
#include "launcher/ui/update_wnd.h"
#include "launcher/ui/web_panels.h"
#include "launcher/ui/window_chrome.h"
#include "system/display.h"

using namespace DuiLib;

namespace {

constexpr int DepthChangeAttempts = 3;

// Moves a child window to its offset from the frame's top-left corner.
void PlaceChild(CWindowWnd* child, const RECT& frame, const LayoutOffset& offset, UINT flags) {
    if (child != nullptr)
        SetWindowPos(child->GetHWND(), nullptr, frame.left + offset.x, frame.top + offset.y, -1, -1,
                     flags);
}

} // namespace

// The display keeps its depth when it cannot be switched; that is said once per run, not at
// every repaint.
bool LauncherFrameWnd::ForceColorDepth32() {
    static std::atomic<bool> reported{false};
    platform::DisplayMode mode = platform::CurrentDisplayMode();
    if (mode.bitsPerPixel == 32)
        return true;
    mode.bitsPerPixel = 32;
    for (int attempt = 0; attempt < DepthChangeAttempts; ++attempt) {
        if (platform::ChangeDisplayMode(mode))
            return true;
    }
    if (!reported.exchange(true))
        LOG_ERROR(L": can not switch the display to 32-bit colour, it keeps %d bits",
                  platform::CurrentDisplayMode().bitsPerPixel);
    return true;
}

LRESULT LauncherFrameWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
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
    case WM_MOVE: {
        RECT frame;
        GetWindowRect(m_hWnd, &frame);
        PlaceChild(NewsWnd, frame, LayoutTable[LayoutNews],
                   SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
        PlaceChild(News2Wnd, frame, LayoutTable[LayoutNews2],
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        PlaceChild(TopWnd, frame, LayoutTable[LayoutTop],
                   SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
        PlaceChild(ServerListWnd, frame, LayoutTable[LayoutServerList],
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        PlaceChild(UpdateWnd.load(), frame, LayoutTable[LayoutUpdate],
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_SIZE:
        ApplyRoundCorners(m_hWnd, PaintManager);
        return defaultHandling();
    case WM_MOUSEACTIVATE: {
        const LRESULT result = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
        if (ServerListWnd != nullptr)
            ServerListWnd->CloseDropDown();
        return result;
    }
    case WM_GETMINMAXINFO:
        FillMaximisedSize(m_hWnd, lParam);
        return defaultHandling();
    case WM_NCCALCSIZE:
        return 0;
    case WM_NCHITTEST: {
        POINT pt{SignedLowWord(lParam), SignedHighWord(lParam)};
        ScreenToClient(m_hWnd, &pt);
        return CaptionHitTest(m_hWnd, PaintManager, pt, CaptionClickables::ButtonsOptionsTexts);
    }
    case WM_NCPAINT:
        ForceColorDepth32();
        return 0;
    case WM_NCACTIVATE:
        if (IsIconic(m_hWnd))
            return defaultHandling();
        return wParam == 0 ? 1 : 0;
    case WM_SYSCOMMAND: {
        if (wParam == SC_CLOSE) {
            PostQuitMessage(0);
            return 0;
        }
        if (wParam == SC_MAXIMIZE_FROM_CAPTION)
            return 0;
        if (wParam == SC_RESTORE)
            ForceColorDepth32();
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
