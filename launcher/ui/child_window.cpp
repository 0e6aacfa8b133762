#include "launcher/ui/child_window.h"

#include <set>
#include <string>

#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/ui/server_list_wnd.h"
#include "launcher/ui/web_panels.h"
#include "launcher/ui/window_chrome.h"

using namespace DuiLib;

namespace {

// A window destroyed with its owner must not stay behind as a dangling pointer in the frame.
void ForgetChild(LauncherFrameWnd* frame, UIChildWnd* child) {
    if (frame == nullptr)
        return;
    if (frame->NewsWnd == child)
        frame->NewsWnd = nullptr;
    if (frame->News2Wnd == child)
        frame->News2Wnd = nullptr;
    if (frame->TopWnd == child)
        frame->TopWnd = nullptr;
    if (frame->ServerListWnd == child)
        frame->ServerListWnd = nullptr;
}

} // namespace

CStdString SkinForMode(const wchar_t* name, int mode) {
    CStdString file(name);
    if (mode == 1)
        file += L"_720";
    else if (mode == 2)
        file += L"_600";
    file += L".xml";
    return file;
}

bool AttachSkinOrEmptyRoot(const CStdString& file, CPaintManagerUI& manager) {
    CDialogBuilder builder;
    if (CControlUI* root = builder.Create(file.GetData(), nullptr, nullptr, &manager)) {
        manager.AttachDialog(root);
        return true;
    }
    // The same file is missing for every window that asks for it again (each settings click).
    static std::set<std::wstring> logged;
    if (logged.insert(file.GetData()).second)
        LOG_ERROR(L": skin %s cannot be built from bt.dat, its window shows no controls",
                  file.GetData());
    manager.AttachDialog(new CContainerUI);
    return false;
}

LRESULT UIChildWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_CREATE:
        return CreateFromSkin();
    case WM_SIZE:
        ApplyRoundCorners(m_hWnd, PaintManager);
        return DefaultHandling(uMsg, wParam, lParam);
    case WM_MOUSEACTIVATE:
        if (ClosesDropDownOnActivate()) {
            const LRESULT result = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
            CloseServerDropDown();
            return result;
        }
        return DefaultHandling(uMsg, wParam, lParam);
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
        return 0;
    case WM_NCHITTEST:
        return CaptionHitTest(POINT{SignedLowWord(lParam), SignedHighWord(lParam)});
    case WM_NCACTIVATE:
        if (IsIconic(m_hWnd))
            return DefaultHandling(uMsg, wParam, lParam);
        return wParam == 0 ? 1 : 0;
    default:
        return DefaultHandling(uMsg, wParam, lParam);
    }
}

LRESULT UIChildWnd::CreateFromSkin() {
    const UINT style = GetWindowStyle(m_hWnd);
    SetWindowStyle(m_hWnd, (style & ~WS_CAPTION) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    PaintManager.Init(m_hWnd);
    PaintManager.AddPreMessageFilter(this);
    SkinMissing = !AttachSkinOrEmptyRoot(SkinFile(), PaintManager);
    PaintManager.AddNotifier(this);
    OnSkinAttached();
    return 0;
}

LRESULT UIChildWnd::CaptionHitTest(POINT pt) {
    return ::CaptionHitTest(m_hWnd, PaintManager, pt, CaptionClickables::Buttons);
}

LRESULT UIChildWnd::DefaultHandling(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (PaintManager.MessageHandler(uMsg, wParam, lParam, result))
        return result;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void UIChildWnd::CloseServerDropDown() {
    if (frame != nullptr && frame->ServerListWnd != nullptr)
        frame->ServerListWnd->CloseDropDown();
}

void UIChildWnd::OnFinalMessage(HWND) {
    PaintManager.RemovePreMessageFilter(this);
    ForgetChild(frame, this);
    delete this;
}
