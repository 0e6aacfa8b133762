#pragma once
// The seam between the library's core and a backend that gives windows their native side.
//
// The core owns every window's record (position, style, visibility, state, owner), all message
// semantics and what the controls draw; a backend mirrors the record natively, is told after
// each change, and supplies a renderer when a window is painted. It never calls a window
// procedure itself except through the entry points at the end of this file.
// Every function here runs on the UI thread unless it says otherwise.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "duilib/backend.h"
#include "duilib/browser.h"
#include "duilib/renderer.h"
#include "duilib/types.h"

namespace DuiLib {

// The browser a backend makes for one "IE" control; the control owns it, and the interface's
// Release only ends a caller's use.
class EmbeddedBrowser : public IWebBrowser {
public:
    ~EmbeddedBrowser() override = default;
    void Release() override {}
    // The control's rectangle in client coordinates of its window, and its visibility.
    virtual void SetBounds(const RECT& clientRect) = 0;
    virtual void SetVisible(bool visible) = 0;
};

class WindowBackend {
public:
    virtual ~WindowBackend() = default;
    virtual BackendKind Kind() const = 0;
    // Called once when the backend becomes the active one (display providers, signal handling).
    virtual void Start() = 0;
    // UI thread, once at process end after the last window is gone: releases what Open and
    // Start took from an outside toolkit, which would otherwise be left to its static objects.
    virtual void Stop() {}

    // Native windows. The record already holds the new values when these are called.
    virtual void CreateWindow(HWND hwnd, HWND owner, const std::wstring& title, UINT style,
                              const RECT& screenRect) = 0;
    virtual void DestroyWindow(HWND hwnd) = 0;
    virtual void SetBounds(HWND hwnd, const RECT& screenRect) = 0;
    virtual void SetStyle(HWND hwnd, UINT style) = 0;
    virtual void SetTitle(HWND hwnd, const std::wstring& title) = 0;
    virtual void Show(HWND hwnd, bool show, bool activate) = 0;
    virtual void Enable(HWND hwnd, bool enable) = 0;
    virtual void SetShowState(HWND hwnd, bool iconic, bool zoomed) = 0;
    // rect in window coordinates; corner (0, 0) removes the rounding.
    virtual void SetRoundRegion(HWND hwnd, const RECT& rect, SIZE corner) = 0;
    // A modal loop runs for hwnd between these two calls.
    virtual void BeginModal(HWND hwnd) = 0;
    virtual void EndModal(HWND hwnd) = 0;

    // Asks for a repaint of a client rectangle; the backend answers later with NativePaint.
    virtual void Invalidate(HWND hwnd, const RECT& clientRect) = 0;

    // The message queue. WaitForWork blocks until Wake was called (also before the wait) or
    // the timeout passed, running the toolkit's own events meanwhile. Wake runs on any thread.
    virtual void WaitForWork(std::chrono::milliseconds timeout) = 0;
    virtual void Wake() = 0;

    // Services.
    virtual int MessageBox(HWND owner, const std::wstring& text, const std::wstring& caption,
                           UINT type) = 0;
    virtual std::unique_ptr<EmbeddedBrowser> CreateBrowser(HWND hwnd) = 0;
    // A combo's drop-down: the chosen index, or -1 when nothing was chosen.
    virtual int ChooseListItem(HWND hwnd, const RECT& anchorClientRect,
                               const std::vector<std::wstring>& items, int current) = 0;
    virtual SIZE ScreenSize() = 0;
    virtual RECT WorkArea(HWND hwnd) = 0;
    virtual POINT CursorPos() = 0;
};

// The active backend; InitBackend runs first when none is active yet (UI thread only).
WindowBackend& Backend();
// The active backend or null, from any thread.
WindowBackend* BackendIfStarted();

// Entry points for a backend reporting what happened natively.
// The user moved or resized the window: the record follows and WM_MOVE / WM_SIZE are sent.
void NativeBoundsChanged(HWND hwnd, const RECT& screenRect);
// The window became the active one.
void NativeActivated(HWND hwnd);
// The window must be drawn: it handles WM_PAINT, during which its paint manager paints the
// control tree into renderer (CPaintManagerUI::Paint), limited to dirty (client coordinates).
// Nothing is drawn for an unknown, destroyed or hidden window.
void NativePaint(HWND hwnd, IRenderer& renderer, const RECT& dirty);
// Runs queued messages and work without blocking, for a toolkit's own nested loops.
void RunPendingWork();

} // namespace DuiLib
