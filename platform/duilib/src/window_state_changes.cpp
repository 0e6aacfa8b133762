#include "duilib/window.h"
#include "duilib/window_backend.h"
#include "window_internal.h"
#include "window_table.h"

namespace DuiLib::detail {

namespace {

LPARAM SizeParam(const RECT& rect) {
    return MakePointParam(rect.right - rect.left, rect.bottom - rect.top);
}

WPARAM SizeKind(const WindowState& state) {
    if (state.iconic)
        return SIZE_MINIMIZED;
    return state.zoomed ? SIZE_MAXIMIZED : SIZE_RESTORED;
}

// Where the window goes when it is zoomed: the work area unless WM_GETMINMAXINFO says otherwise.
RECT ZoomedRect(HWND hwnd) {
    const RECT work = Backend().WorkArea(hwnd);
    MINMAXINFO info;
    info.ptMaxPosition = POINT{work.left, work.top};
    info.ptMaxSize = POINT{work.right - work.left, work.bottom - work.top};
    info.ptMaxTrackSize = info.ptMaxSize;
    SendMessage(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    return RECT{info.ptMaxPosition.x, info.ptMaxPosition.y, info.ptMaxPosition.x + info.ptMaxSize.x,
                info.ptMaxPosition.y + info.ptMaxSize.y};
}

} // namespace

void ApplyBounds(HWND hwnd, const RECT& rect) {
    WindowState* state = FindWindow(hwnd);
    if (state == nullptr)
        return;
    const RECT old = state->rect;
    const bool moved = old.left != rect.left || old.top != rect.top;
    const bool sized = old.right - old.left != rect.right - rect.left ||
                       old.bottom - old.top != rect.bottom - rect.top;
    state->rect = rect;
    if (moved || sized)
        Backend().SetBounds(hwnd, rect);
    if (moved) {
        state->moveSent = true;
        SendMessage(hwnd, WM_MOVE, 0, MakePointParam(rect.left, rect.top));
    }
    // The WM_MOVE handler may have destroyed the window.
    state = FindWindow(hwnd);
    if (sized && state != nullptr) {
        state->sizeSent = true;
        SendMessage(hwnd, WM_SIZE, SizeKind(*state), SizeParam(state->rect));
    }
}

void ApplyShow(HWND hwnd, bool show, bool activate) {
    WindowState* state = FindWindow(hwnd);
    if (state == nullptr)
        return;
    if (state->visible != show) {
        state->visible = show;
        state->style = show ? (state->style | WS_VISIBLE) : (state->style & ~WS_VISIBLE);
        Backend().Show(hwnd, show, activate);
        SendMessage(hwnd, WM_SHOWWINDOW, show ? 1 : 0, 0);
    }
    if (show && activate && FindWindow(hwnd) != nullptr) {
        SetActiveWindow(hwnd);
    } else if (!show && ActiveWindow() == hwnd) {
        // Hiding the active window hands activation back to its owner.
        state = FindWindow(hwnd);
        const HWND owner = state != nullptr ? state->owner : nullptr;
        SetActiveWindow(IsWindow(owner) ? owner : nullptr);
    }
}

void Minimize(HWND hwnd) {
    WindowState* state = FindWindow(hwnd);
    if (state == nullptr || state->iconic)
        return;
    state->iconic = true;
    Backend().SetShowState(hwnd, state->iconic, state->zoomed);
    SendMessage(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
}

void Maximize(HWND hwnd) {
    WindowState* state = FindWindow(hwnd);
    if (state == nullptr || (state->zoomed && !state->iconic))
        return;
    const bool wasZoomed = state->zoomed;
    if (!wasZoomed)
        state->restoreRect = state->rect;
    state->iconic = false;
    state->zoomed = true;
    Backend().SetShowState(hwnd, false, true);
    const RECT target = ZoomedRect(hwnd);
    state = FindWindow(hwnd);
    if (state == nullptr)
        return;
    const RECT old = state->rect;
    ApplyBounds(hwnd, target);
    // Coming back from the task bar to the same zoomed size still reports the new state.
    state = FindWindow(hwnd);
    if (state != nullptr && old.right - old.left == target.right - target.left &&
        old.bottom - old.top == target.bottom - target.top)
        SendMessage(hwnd, WM_SIZE, SIZE_MAXIMIZED, SizeParam(state->rect));
}

void Restore(HWND hwnd) {
    WindowState* state = FindWindow(hwnd);
    if (state == nullptr)
        return;
    if (state->iconic) {
        // Out of the task bar into the state the window had before: zoomed or normal.
        state->iconic = false;
        Backend().SetShowState(hwnd, false, state->zoomed);
        SendMessage(hwnd, WM_SIZE, SizeKind(*state), SizeParam(state->rect));
        return;
    }
    if (state->zoomed) {
        state->zoomed = false;
        Backend().SetShowState(hwnd, false, false);
        ApplyBounds(hwnd, state->restoreRect);
    }
}

} // namespace DuiLib::detail
