#pragma once
// What the pop-up windows laid over the main window share: the owning frame, their own paint
// manager and skin (picked by the frame's screen-size mode), the class style, the hit test of
// their caption band, a message filter that handles nothing, and release on the final message.
// The frame releases them at exit through ReleaseChildWindow.
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
    DuiLib::LRESULT HandleMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam,
                                  DuiLib::LPARAM lParam) override;
    void Notify(DuiLib::TNotifyUI&) override {}
    DuiLib::LRESULT MessageHandler(DuiLib::UINT, DuiLib::WPARAM, DuiLib::LPARAM, bool&) override {
        return 0;
    }

protected:
    // The skin file for the frame's screen-size mode.
    virtual DuiLib::CStdString SkinFile() const = 0;
    // The class's own steps once its skin is attached.
    virtual void OnSkinAttached() {}
    // The web panels close the server drop-down when the mouse activates them.
    virtual bool ClosesDropDownOnActivate() const { return false; }

    // WM_CREATE: drops the caption style, builds and attaches the skin, registers this object
    // as filter and notifier. Always 0: a skin that cannot be built leaves the window without
    // controls (SkinMissing set), so every step that needs one of them is skipped.
    DuiLib::LRESULT CreateFromSkin();
    bool SkinMissing = false;
    // Inside the caption band a control other than a button (or no control) drags the window.
    // The point is compared as given with the client-area values.
    DuiLib::LRESULT CaptionHitTest(DuiLib::POINT pt);
    // The paint manager first, then the library's default handling.
    DuiLib::LRESULT DefaultHandling(DuiLib::UINT uMsg, DuiLib::WPARAM wParam,
                                    DuiLib::LPARAM lParam);
    void OnFinalMessage(DuiLib::HWND) override;
    // Closes the drop-down when the frame has one.
    void CloseServerDropDown();
};

// "name.xml" in mode 0, "name_720.xml" in mode 1, "name_600.xml" in mode 2.
DuiLib::CStdString SkinForMode(const wchar_t* name, int mode);

// UI thread. Builds the skin file for manager and attaches it. When the file cannot be built
// (bt.dat is replaced by game updates like any other file) an empty root is attached instead,
// so the window still lays out and hears "windowinit", and the missing file is logged once per
// run. False in that case.
bool AttachSkinOrEmptyRoot(const DuiLib::CStdString& file, DuiLib::CPaintManagerUI& manager);

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
