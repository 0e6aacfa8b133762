#pragma once
// Basic types and constants of the UI library. The numeric values of messages, styles, hit-test
// results and flags are the ones the launcher stores, compares or makes observable.
#include <cstdint>

namespace DuiLib {

struct NativeWindow; // a backend's window record; opaque to users
using HWND = NativeWindow*;
using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LPCTSTR = const wchar_t*;

struct POINT {
    int x = 0;
    int y = 0;
};

struct SIZE {
    int cx = 0;
    int cy = 0;
};

struct RECT {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

class CDuiRect : public RECT {
public:
    CDuiRect() = default;
    CDuiRect(const RECT& rc) : RECT(rc) {}
    CDuiRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    int GetWidth() const { return right - left; }
    int GetHeight() const { return bottom - top; }
    void Offset(int cx, int cy) {
        left += cx;
        right += cx;
        top += cy;
        bottom += cy;
    }
    bool Contains(POINT pt) const {
        return pt.x >= left && pt.x < right && pt.y >= top && pt.y < bottom;
    }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    // The common part of both rectangles (empty when they do not overlap).
    CDuiRect Intersection(const RECT& other) const {
        return CDuiRect(left > other.left ? left : other.left, top > other.top ? top : other.top,
                        right < other.right ? right : other.right,
                        bottom < other.bottom ? bottom : other.bottom);
    }
};

struct MINMAXINFO {
    POINT ptReserved;
    POINT ptMaxSize;
    POINT ptMaxPosition;
    POINT ptMinTrackSize;
    POINT ptMaxTrackSize;
};

// Window messages.
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_MOUSEACTIVATE = 0x0021;
constexpr UINT WM_GETMINMAXINFO = 0x0024;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_NCCALCSIZE = 0x0083;
constexpr UINT WM_NCHITTEST = 0x0084;
constexpr UINT WM_NCPAINT = 0x0085;
constexpr UINT WM_NCACTIVATE = 0x0086;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_MOUSELEAVE = 0x02A3; // the pointer left the client area
constexpr UINT WM_USER = 0x0400;

// WM_SYSCOMMAND codes.
constexpr WPARAM SC_MINIMIZE = 0xF020;
constexpr WPARAM SC_MAXIMIZE = 0xF030;
constexpr WPARAM SC_MAXIMIZE_FROM_CAPTION = 0xF032;
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_RESTORE = 0xF120;

// WM_NCHITTEST results.
constexpr LRESULT HTCLIENT = 1;
constexpr LRESULT HTCAPTION = 2;

// Window styles.
constexpr UINT WS_OVERLAPPED = 0x00000000;
constexpr UINT WS_POPUP = 0x80000000;
constexpr UINT WS_VISIBLE = 0x10000000;
constexpr UINT WS_CLIPSIBLINGS = 0x04000000;
constexpr UINT WS_CLIPCHILDREN = 0x02000000;
constexpr UINT WS_CAPTION = 0x00C00000;
constexpr UINT WS_SYSMENU = 0x00080000;
constexpr UINT WS_THICKFRAME = 0x00040000;
constexpr UINT WS_MINIMIZEBOX = 0x00020000;
constexpr UINT WS_MAXIMIZEBOX = 0x00010000;
constexpr UINT WS_OVERLAPPEDWINDOW = 0x00CF0000;
constexpr UINT UI_WNDSTYLE_DIALOG = 0x96C80000;

// Window class styles.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;
constexpr UINT CS_SAVEBITS = 0x0800;

// SetWindowPos flags.
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_NOOWNERZORDER = 0x0200;

// Message boxes: types and answers.
constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_OKCANCEL = 0x0001;
constexpr UINT MB_YESNO = 0x0004;
constexpr UINT MB_ICONERROR = 0x0010;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Mouse activation results.
constexpr LRESULT MA_ACTIVATE = 1;

// WM_SIZE kinds (wParam) and mouse key state (wParam of mouse messages).
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;
constexpr WPARAM MK_LBUTTON = 0x0001;

constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

// lParam packing of points: signed 16-bit x (low word) and y (high word).
inline int SignedLowWord(LPARAM value) {
    return static_cast<int16_t>(static_cast<uint32_t>(value) & 0xFFFF);
}
inline int SignedHighWord(LPARAM value) {
    return static_cast<int16_t>((static_cast<uint32_t>(value) >> 16) & 0xFFFF);
}
inline LPARAM MakePointParam(int x, int y) {
    return static_cast<LPARAM>((static_cast<uint32_t>(static_cast<uint16_t>(x))) |
                               (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16));
}

} // namespace DuiLib
