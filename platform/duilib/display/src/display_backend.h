#pragma once
// The display backend: one NativeWindow per DuiLib window, GTK's loop under DuiLib's queue.
// Everything runs on the UI thread except Wake.
#include <map>
#include <memory>

#include <wx/weakref.h>

#include "duilib/window_backend.h"
#include "event_pump.h"
#include "image_cache.h"

class wxMenu;
class wxMessageDialog;

namespace DuiLib::display {

class NativeWindow;

class DisplayBackend final : public WindowBackend {
public:
    // Opens the display; false leaves wxWidgets untouched.
    bool Open();

    BackendKind Kind() const override { return BackendKind::Display; }
    void Start() override;
    void Stop() override;

    void CreateWindow(HWND hwnd, HWND owner, const std::wstring& title, UINT style,
                      const RECT& screenRect) override;
    void DestroyWindow(HWND hwnd) override;
    void SetBounds(HWND hwnd, const RECT& screenRect) override;
    void SetStyle(HWND, UINT) override {}
    void SetTitle(HWND hwnd, const std::wstring& title) override;
    void Show(HWND hwnd, bool show, bool activate) override;
    void Enable(HWND hwnd, bool enable) override;
    void SetShowState(HWND hwnd, bool iconic, bool zoomed) override;
    void SetRoundRegion(HWND hwnd, const RECT& rect, SIZE corner) override;
    void BeginModal(HWND hwnd) override;
    void EndModal(HWND) override {}

    void Invalidate(HWND hwnd, const RECT& clientRect) override;

    void WaitForWork(std::chrono::milliseconds timeout) override;
    void Wake() override;

    int MessageBox(HWND owner, const std::wstring& text, const std::wstring& caption,
                   UINT type) override;
    std::unique_ptr<EmbeddedBrowser> CreateBrowser(HWND hwnd) override;
    int ChooseListItem(HWND hwnd, const RECT& anchorClientRect,
                       const std::vector<std::wstring>& items, int current) override;
    SIZE ScreenSize() override;
    RECT WorkArea(HWND hwnd) override;
    POINT CursorPos() override;

    ImageCache& Images() { return images_; }

private:
    NativeWindow* Find(HWND hwnd) const;
    // SIGTERM and SIGINT end the open message boxes and drop-down menu, then close the first
    // window that has no owner, as its close box would.
    static int OnTerminationSignal(void* backend);

    EventPump pump_;
    ImageCache images_;
    std::map<HWND, wxWeakRef<NativeWindow>> windows_;
    std::vector<HWND> topLevel_; // windows without an owner, in creation order
    // The native modal loops now running, innermost last; none opens once terminating_ is set.
    std::vector<wxMessageDialog*> openBoxes_;
    wxMenu* openMenu_ = nullptr;
    bool terminating_ = false;
};

} // namespace DuiLib::display
