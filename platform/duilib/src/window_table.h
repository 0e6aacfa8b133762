#pragma once
// The records of native windows, kept by the core whatever the backend. Handles are never
// reused, so a message or a stale handle aimed at a destroyed window finds nothing.
#include <memory>
#include <string>
#include <vector>

#include "duilib/types.h"

namespace DuiLib {

class CWindowWnd;
class CPaintManagerUI;
class IRenderer;

namespace detail {

// What a window draws into while it handles WM_PAINT.
struct PaintRequest {
    IRenderer* renderer = nullptr;
    RECT dirty;
};

struct WindowState {
    HWND hwnd = nullptr;
    CWindowWnd* object = nullptr; // null once the object let go of its window
    HWND owner = nullptr;
    std::wstring className;
    std::wstring title;
    UINT style = 0; // WS_VISIBLE mirrors `visible`
    UINT exStyle = 0;
    RECT rect; // screen coordinates; the client area is the whole window
    RECT restoreRect;
    bool visible = false;
    bool enabled = true;
    bool iconic = false;
    bool zoomed = false;
    bool modal = false;
    bool destroying = false;
    bool sizeSent = false;
    bool moveSent = false;
    SIZE roundCorner;
    CPaintManagerUI* manager = nullptr;
    const PaintRequest* paint = nullptr; // set only during NativePaint
    // Shared with a running ShowModal, which reads it after the window is gone.
    std::shared_ptr<UINT> modalResult;
};

// UI thread: a new record, registered under a fresh handle.
WindowState& AddWindow(CWindowWnd* object, HWND owner);
// UI thread: the live record of hwnd, or null.
WindowState* FindWindow(HWND hwnd);
// Any thread: true from creation until the window's record is removed (also while it is being
// destroyed, as WM_DESTROY handlers expect).
bool WindowExists(HWND hwnd);
// UI thread: forgets hwnd; its handle is never given out again.
void RemoveWindow(HWND hwnd);
// UI thread: handles of windows not being destroyed, in creation order.
std::vector<HWND> WindowsInCreationOrder();

HWND ActiveWindow();
void SetActiveWindow(HWND hwnd);

} // namespace detail
} // namespace DuiLib
