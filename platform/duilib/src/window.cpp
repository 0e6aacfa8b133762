#include "duilib/window.h"

#include <algorithm>
#include <memory>

#include "duilib/paint_manager.h"
#include "duilib/ui_thread.h"
#include "duilib/window_backend.h"
#include "message_loop.h"
#include "window_internal.h"
#include "window_table.h"

namespace DuiLib {

CWindowWnd::CWindowWnd() = default;

CWindowWnd::~CWindowWnd() {
    // An object freed while its window lives (not through OnFinalMessage) takes the window
    // with it; the object itself gets no further message.
    detail::WindowState* state = detail::FindWindow(m_hWnd);
    if (state == nullptr || state->object != this)
        return;
    state->object = nullptr;
    if (!state->destroying)
        DestroyWindow(m_hWnd);
}

HWND CWindowWnd::Create(HWND hwndParent, LPCTSTR pstrName, UINT dwStyle, UINT dwExStyle, int x,
                        int y, int cx, int cy, void* /*hMenu*/) {
    detail::MarkUiThread();
    Backend();
    if (IsWindow(m_hWnd))
        return nullptr; // one native window per object

    const HWND owner = IsWindow(hwndParent) ? hwndParent : nullptr;
    detail::WindowState& state = detail::AddWindow(this, owner);
    const LPCTSTR className = GetWindowClassName();
    state.className = className != nullptr ? className : L"";
    state.title = pstrName != nullptr ? pstrName : L"";
    state.style = dwStyle & ~WS_VISIBLE; // shown once WM_CREATE succeeded
    state.exStyle = dwExStyle;
    const int left = x == CW_USEDEFAULT ? 0 : x;
    const int top = y == CW_USEDEFAULT ? 0 : y;
    const int width = cx == CW_USEDEFAULT ? 0 : std::max(0, cx);
    const int height = cy == CW_USEDEFAULT ? 0 : std::max(0, cy);
    state.rect = RECT{left, top, left + width, top + height};
    state.restoreRect = state.rect;
    const HWND hwnd = state.hwnd;
    m_hWnd = hwnd;
    Backend().CreateWindow(hwnd, owner, state.title, state.style, state.rect);

    // From here on the object may be freed by its own handlers: only locals are used.
    const LRESULT created = Dispatch(WM_CREATE, 0, 0);
    const detail::WindowState* after = detail::FindWindow(hwnd);
    if (created == -1) {
        if (after != nullptr)
            DestroyWindow(hwnd);
        return nullptr;
    }
    if (after == nullptr || after->destroying)
        return nullptr;
    // A window that did not get its size or place during creation hears of them now.
    if (!after->moveSent)
        DuiLib::SendMessage(hwnd, WM_MOVE, 0, MakePointParam(after->rect.left, after->rect.top));
    after = detail::FindWindow(hwnd);
    if (after != nullptr && !after->sizeSent)
        DuiLib::SendMessage(hwnd, WM_SIZE, SIZE_RESTORED,
                            MakePointParam(after->rect.right - after->rect.left,
                                           after->rect.bottom - after->rect.top));
    if ((dwStyle & WS_VISIBLE) != 0)
        detail::ApplyShow(hwnd, true, true);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

UINT CWindowWnd::ShowModal() {
    const HWND hwnd = m_hWnd;
    detail::WindowState* state = detail::FindWindow(hwnd);
    // After the main loop nobody could end a modal loop any more.
    if (state == nullptr || state->destroying || HasMessageLoopEnded())
        return 0;
    const HWND owner = state->owner;
    auto result = std::make_shared<UINT>(0);
    state->modalResult = result;
    state->modal = true;
    detail::ApplyShow(hwnd, true, true);
    if (owner != nullptr)
        EnableWindow(owner, false);
    Backend().BeginModal(hwnd);

    // The window's handlers may free this object: from here on only locals are used.
    detail::RunModalLoop(hwnd);

    Backend().EndModal(hwnd);
    if (detail::WindowState* modal = detail::FindWindow(hwnd))
        modal->modal = false;
    if (owner != nullptr && IsWindow(owner)) {
        EnableWindow(owner, true);
        if (!IsWindow(hwnd))
            detail::SetActiveWindow(owner);
    }
    return *result;
}

void CWindowWnd::Close(UINT nRet) {
    detail::WindowState* state = detail::FindWindow(m_hWnd);
    if (state == nullptr)
        return;
    if (state->modalResult)
        *state->modalResult = nRet;
    DuiLib::PostMessage(m_hWnd, WM_CLOSE, nRet, 0);
}

void CWindowWnd::ShowWindow(bool bShow, bool bTakeFocus) {
    detail::ApplyShow(m_hWnd, bShow, bTakeFocus);
}

void CWindowWnd::CenterWindow() {
    const detail::WindowState* state = detail::FindWindow(m_hWnd);
    if (state == nullptr)
        return;
    const int width = state->rect.right - state->rect.left;
    const int height = state->rect.bottom - state->rect.top;
    const SIZE screen = Backend().ScreenSize();
    RECT area{0, 0, screen.cx, screen.cy};
    if (const detail::WindowState* owner = detail::FindWindow(state->owner))
        area = owner->rect;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    // Keep the window on the screen when it fits there.
    const RECT work = Backend().WorkArea(m_hWnd);
    x = std::max(work.left, std::min(x, work.right - width));
    y = std::max(work.top, std::min(y, work.bottom - height));
    SetWindowPos(m_hWnd, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::ResizeClient(int cx, int cy) {
    RECT rect;
    if (!GetClientRect(m_hWnd, &rect))
        return;
    if (cx != -1)
        rect.right = cx;
    if (cy != -1)
        rect.bottom = cy;
    SetWindowPos(m_hWnd, nullptr, 0, 0, rect.right, rect.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return DuiLib::SendMessage(m_hWnd, uMsg, wParam, lParam);
}

void CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    DuiLib::PostMessage(m_hWnd, uMsg, wParam, lParam);
}

LPCTSTR CWindowWnd::GetSuperClassName() const {
    return nullptr;
}

UINT CWindowWnd::GetClassStyle() const {
    return 0;
}

LRESULT CWindowWnd::Dispatch(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    const HWND hwnd = m_hWnd;
    LRESULT result = 0;
    bool handled = false;
    if (const detail::WindowState* state = detail::FindWindow(hwnd); state && state->manager)
        handled = state->manager->PreMessageHandler(uMsg, wParam, lParam, result);
    if (!handled)
        result = HandleMessage(uMsg, wParam, lParam);
    if (uMsg == WM_NCDESTROY) {
        m_hWnd = nullptr;
        OnFinalMessage(hwnd); // may free this object
    }
    return result;
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM /*lParam*/) {
    const HWND hwnd = m_hWnd;
    switch (uMsg) {
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SYSCOMMAND:
        // The low four bits belong to the system (0xF032 is a maximise from the caption).
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            DuiLib::SendMessage(hwnd, WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            detail::Minimize(hwnd);
            break;
        case SC_MAXIMIZE:
            detail::Maximize(hwnd);
            break;
        case SC_RESTORE:
            detail::Restore(hwnd);
            break;
        default:
            break;
        }
        return 0;
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_MOUSEACTIVATE:
        return MA_ACTIVATE;
    default:
        return 0;
    }
}

void CWindowWnd::OnFinalMessage(HWND /*hWnd*/) {}

} // namespace DuiLib
