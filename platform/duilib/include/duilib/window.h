#pragma once
// Windows. A CWindowWnd is bound to one native window of the active backend; its HandleMessage
// is the window procedure and runs on the UI thread.
#include "duilib/std_string.h"
#include "duilib/types.h"

namespace DuiLib {

class CWindowWnd {
public:
    CWindowWnd();
    virtual ~CWindowWnd();

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Creates the native window; WM_CREATE is handled inside. A size of 0 takes the skin's
    // size once the skin is attached. Returns null on failure.
    HWND Create(HWND hwndParent, LPCTSTR pstrName, UINT dwStyle, UINT dwExStyle,
                int x = CW_USEDEFAULT, int y = CW_USEDEFAULT, int cx = 0, int cy = 0,
                void* hMenu = nullptr);
    // Runs a nested message loop with the owner disabled until the window is destroyed, then
    // enables the owner again. Returns the value given to Close (0 when none was), or 0 at once
    // when the main loop has already ended. A WM_QUIT ends it early and is kept for the loop
    // outside. The object may be freed while it runs; ShowModal does not touch it afterwards.
    UINT ShowModal();
    // Posts WM_CLOSE; nRet becomes ShowModal's result.
    void Close(UINT nRet = IDOK);
    void ShowWindow(bool bShow = true, bool bTakeFocus = true);
    void CenterWindow();
    void ResizeClient(int cx = -1, int cy = -1);
    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    void PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);

    virtual LPCTSTR GetWindowClassName() const = 0;
    virtual LPCTSTR GetSuperClassName() const;
    virtual UINT GetClassStyle() const;

    // The library's dispatch entry: calls HandleMessage, then OnFinalMessage after the native
    // window is gone.
    LRESULT Dispatch(UINT uMsg, WPARAM wParam, LPARAM lParam);

protected:
    virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
    virtual void OnFinalMessage(HWND hWnd);

    HWND m_hWnd = nullptr;
};

// Operations on native windows (null or destroyed windows are ignored, giving false or zero).
// They run on the UI thread, except where a line says otherwise.

// Any thread. WM_QUIT is queued behind what is already queued.
void PostQuitMessage(int exitCode);
// Any thread. A message still queued when its window is destroyed is dropped.
bool PostMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
// Any thread: from another thread the message is handled on the UI thread while the caller
// waits (0 when the loop has ended).
LRESULT SendMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
// Any thread. True until the window's destruction is complete (also during WM_DESTROY).
bool IsWindow(HWND hWnd);
bool DestroyWindow(HWND hWnd);
bool GetWindowRect(HWND hWnd, RECT* rect); // screen coordinates
bool GetClientRect(HWND hWnd, RECT* rect); // (0, 0, width, height)
bool SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT flags);
UINT GetWindowStyle(HWND hWnd);
void SetWindowStyle(HWND hWnd, UINT style);
bool IsIconic(HWND hWnd);
bool IsZoomed(HWND hWnd);
bool IsWindowVisible(HWND hWnd);
// True when the window was disabled before the call.
bool EnableWindow(HWND hWnd, bool enable);
bool IsWindowEnabled(HWND hWnd);
bool ScreenToClient(HWND hWnd, POINT* pt);
bool GetCursorPos(POINT* pt); // screen coordinates
// The window's shape: a rounded rectangle (rect in window coordinates); corner (0, 0) = square.
void SetWindowRoundRegion(HWND hWnd, const RECT& rect, SIZE corner);
// The work area of the monitor the window is on, else of the primary monitor.
RECT GetMonitorWorkArea(HWND hWnd);
// A modal message box owned by hWndOwner (may be null); returns the answer (IDOK, IDYES, ...).
// Any thread: from another thread it opens on the UI thread (0 when the loop has ended).
int MessageBox(HWND hWndOwner, LPCTSTR text, LPCTSTR caption, UINT type);

} // namespace DuiLib
