#pragma once
// Window state changes shared by the window class, the free window functions and the backends.
// UI thread only; each sends the messages the change implies.
#include "duilib/types.h"

namespace DuiLib::detail {

// New screen rectangle: WM_MOVE when the origin changed, WM_SIZE when the size did.
void ApplyBounds(HWND hwnd, const RECT& rect);
// Shows or hides; activate makes it the active window when shown.
void ApplyShow(HWND hwnd, bool show, bool activate);
void Minimize(HWND hwnd);
void Maximize(HWND hwnd);
void Restore(HWND hwnd);

} // namespace DuiLib::detail
