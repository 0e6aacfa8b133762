#pragma once
// What the pop-up windows laid over the main window share: the owning frame, their own paint
// manager, the class style, a message filter that handles nothing, and release on the final
// message. The frame releases them at exit through ReleaseChildWindow.
#include "duilib/duilib.h"

class LauncherFrameWnd;

class UIChildWnd : public DuiLib::CWindowWnd,
                   public DuiLib::INotifyUI,
                   public DuiLib::IMessageFilterUI {
public:
    LauncherFrameWnd* frame = nullptr;
    DuiLib::CPaintManagerUI PaintManager;

    DuiLib::UINT GetClassStyle() const override {
        return DuiLib::CS_VREDRAW | DuiLib::CS_HREDRAW | DuiLib::CS_DBLCLKS | DuiLib::CS_SAVEBITS;
    }
    void Notify(DuiLib::TNotifyUI&) override {}
    DuiLib::LRESULT MessageHandler(DuiLib::UINT, DuiLib::WPARAM, DuiLib::LPARAM, bool&) override {
        return 0;
    }

protected:
    void OnFinalMessage(DuiLib::HWND) override;
};

// Clears the owner's pointer first, then destroys the window (whose final message frees the
// object) or, when it has no window, frees the object: each window is released exactly once.
template <typename Window> void ReleaseChildWindow(Window*& slot) {
    Window* window = slot;
    slot = nullptr;
    if (window == nullptr)
        return;
    if (DuiLib::IsWindow(window->GetHWND()))
        DuiLib::DestroyWindow(window->GetHWND());
    else
        delete window;
}
