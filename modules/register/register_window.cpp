// Register.dll: a small modal window that tells the player where accounts are registered. It
// uses the host's UI library (the launcher exports it), so the window is one of the launcher's
// windows, built from "register.xml" of the launcher's skin archive.
#include "modules/register/register_api.h"

#include <string_view>

#include "duilib/duilib.h"

namespace {

using namespace DuiLib;

class RegisterWnd : public CWindowWnd, public INotifyUI {
public:
    LPCTSTR GetWindowClassName() const override { return L"RegisterWnd"; }

    void Notify(TNotifyUI& msg) override {
        if (msg.sType == L"click" && msg.pSender != nullptr &&
            (msg.pSender->GetName() == L"CloseBtn" || msg.pSender->GetName() == L"OkBtn"))
            Close(IDOK);
    }

protected:
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (uMsg == WM_CREATE)
            return OnCreate();
        if (uMsg == WM_NCHITTEST)
            return HitTest(lParam);
        if (uMsg == WM_SIZE)
            ShapeWindow();
        LRESULT result = 0;
        if (paintManager_.MessageHandler(uMsg, wParam, lParam, result))
            return result;
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }

private:
    LRESULT OnCreate() {
        paintManager_.Init(m_hWnd);
        CDialogBuilder builder;
        CControlUI* root = builder.Create(L"register.xml", nullptr, nullptr, &paintManager_);
        if (root == nullptr)
            return -1;
        paintManager_.AttachDialog(root);
        paintManager_.AddNotifier(this);
        return 0;
    }

    // The skin's rounded corners; the window is not resizable, so its first size is its shape.
    void ShapeWindow() {
        RECT window{};
        GetWindowRect(m_hWnd, &window);
        const RECT shape{0, 0, window.right - window.left + 1, window.bottom - window.top + 1};
        SetWindowRoundRegion(m_hWnd, shape, paintManager_.GetRoundCorner());
    }

    // The title band drags the window, except where a button sits.
    LRESULT HitTest(LPARAM lParam) const {
        POINT pt{SignedLowWord(lParam), SignedHighWord(lParam)};
        ScreenToClient(m_hWnd, &pt);
        RECT client{};
        GetClientRect(m_hWnd, &client);
        const RECT caption = paintManager_.GetCaptionRect();
        const bool inBand = pt.x >= client.left + caption.left &&
                            pt.x < client.right - caption.right && pt.y >= caption.top &&
                            pt.y < caption.bottom;
        const CControlUI* control = inBand ? paintManager_.FindControl(pt) : nullptr;
        if (control != nullptr && std::wstring_view(control->GetClass()) != L"ButtonUI")
            return HTCAPTION;
        return HTCLIENT;
    }

    CPaintManagerUI paintManager_;
};

} // namespace

extern "C" __attribute__((visibility("default"))) int32_t CreateRegisterWindow(int32_t) {
    RegisterWnd window;
    const HWND hwnd = window.Create(nullptr, L"注册账号", UI_WNDSTYLE_DIALOG, 0);
    if (hwnd == nullptr)
        return 0;
    window.CenterWindow();
    window.ShowModal();
    // A quit ends the modal loop early; the window must not outlive this module's code.
    if (IsWindow(hwnd))
        DestroyWindow(hwnd);
    return 1;
}
