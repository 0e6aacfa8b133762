#pragma once
// The headless backend's window records, for tests and for runs without a display. Everything
// here runs on the UI thread.
#include <functional>
#include <string>
#include <vector>

#include "duilib/paint_manager.h"
#include "duilib/recording_renderer.h"
#include "duilib/types.h"
#include "duilib/window.h"

namespace DuiLib::Headless {

struct MessageBoxRecord {
    HWND owner = nullptr;
    std::wstring text;
    std::wstring caption;
    UINT type = 0;
};

struct WindowRecord {
    HWND hwnd = nullptr;
    HWND parent = nullptr;
    std::wstring className;
    std::wstring title;
    UINT style = 0;
    RECT rect; // screen coordinates
    bool visible = false;
    bool enabled = true;
    bool modal = false;
    bool iconic = false;
    bool zoomed = false;
    SIZE roundCorner;
};

// Live windows in creation order.
std::vector<WindowRecord> Windows();
HWND FindWindowByClass(LPCTSTR className);
CWindowWnd* WindowObject(HWND hwnd);
CPaintManagerUI* PaintManagerOf(HWND hwnd);
// The window that took the last activation (a click, ShowWindow with focus), or null.
HWND ActiveWindow();

// Injects a left click (button down and up at the control's centre) through the window's
// message handling, as a user's click would arrive: WM_MOUSEACTIVATE first when the window is
// not the active one. False, with nothing sent, when the window is hidden or disabled or the
// control is missing or hidden. The cursor position follows the click.
bool Click(HWND hwnd, LPCTSTR controlName);
// Injects a mouse message at a client point (the cursor moves there).
LRESULT SendMouse(HWND hwnd, UINT message, POINT clientPoint);

// Message boxes are recorded and answered: by the handler when set, else IDOK (IDYES for
// MB_YESNO). So that a user still learns what a box said, each one's caption and text go to
// standard error as the line  message box "<caption>": <text>  and to the sink when one is set.
std::vector<MessageBoxRecord> MessageBoxes();
void SetMessageBoxHandler(std::function<int(const MessageBoxRecord&)> handler);
// The application's record of each box (its log), called on the UI thread as the box opens; an
// empty function removes it. May be set on any thread, before the backend starts too.
void SetMessageBoxSink(std::function<void(const MessageBoxRecord&)> sink);

// URLs handed to the embedded browser of each "IE" control, in order; kept after the window is
// destroyed.
std::vector<std::wstring> Navigations(HWND hwnd);
// Whether put_Silent(true) was the last word on a browser of the window.
bool IsBrowserSilent(HWND hwnd);
// The error page the window's browser was last given ("" when none).
std::wstring BrowserErrorPage(HWND hwnd);

// What the window draws when the whole of it is repainted, through its WM_PAINT handling as a
// display would ask for it. Empty for a hidden, destroyed or unknown window.
std::vector<DrawCommand> PaintRecord(HWND hwnd);
// The smallest rectangle holding every client rectangle asked to be repainted since the last
// call (empty when none was); the record starts again.
RECT TakeInvalidated(HWND hwnd);

// Runs queued messages and posted work without blocking; false once WM_QUIT was taken.
bool PumpMessages();

} // namespace DuiLib::Headless
