// The free functions on native windows. Windows are touched on the UI thread; PostMessage,
// PostQuitMessage and IsWindow work from any thread, SendMessage and MessageBox hand over to
// the UI thread when called elsewhere.
#include <algorithm>

#include "duilib/ui_thread.h"
#include "duilib/window.h"
#include "duilib/window_backend.h"
#include "message_loop.h"
#include "message_queue.h"
#include "window_internal.h"
#include "window_table.h"

namespace DuiLib {

namespace {

bool OnOtherThread() {
    return !IsUiThread() && detail::IsUiThreadKnown();
}

} // namespace

void PostQuitMessage(int exitCode) {
    detail::QueuedItem item;
    item.message = WM_QUIT;
    item.wParam = static_cast<WPARAM>(exitCode);
    detail::Enqueue(std::move(item));
}

bool PostMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (!detail::WindowExists(hWnd))
        return false;
    detail::QueuedItem item;
    item.hwnd = hWnd;
    item.message = uMsg;
    item.wParam = wParam;
    item.lParam = lParam;
    return detail::Enqueue(std::move(item));
}

LRESULT SendMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (OnOtherThread()) {
        LRESULT result = 0;
        PostAndWait([&] { result = SendMessage(hWnd, uMsg, wParam, lParam); });
        return result;
    }
    detail::WindowState* state = detail::FindWindow(hWnd);
    if (state == nullptr || state->object == nullptr)
        return 0;
    return state->object->Dispatch(uMsg, wParam, lParam);
}

bool IsWindow(HWND hWnd) {
    return detail::WindowExists(hWnd);
}

bool DestroyWindow(HWND hWnd) {
    detail::WindowState* state = detail::FindWindow(hWnd);
    if (state == nullptr || state->destroying)
        return false;
    state->destroying = true;

    // Owned windows go first, the newest first.
    std::vector<HWND> windows = detail::WindowsInCreationOrder();
    std::reverse(windows.begin(), windows.end());
    for (HWND owned : windows) {
        const detail::WindowState* ownedState = detail::FindWindow(owned);
        if (ownedState != nullptr && ownedState->owner == hWnd)
            DestroyWindow(owned);
    }

    state = detail::FindWindow(hWnd);
    if (state->visible) {
        state->visible = false;
        state->style &= ~WS_VISIBLE;
        Backend().Show(hWnd, false, false);
    }
    if (detail::ActiveWindow() == hWnd)
        detail::SetActiveWindow(IsWindow(state->owner) ? state->owner : nullptr);
    if (state->object != nullptr)
        state->object->Dispatch(WM_DESTROY, 0, 0);

    // The record goes before WM_NCDESTROY: from then on nothing can reach the object, which
    // OnFinalMessage may free.
    state = detail::FindWindow(hWnd);
    CWindowWnd* object = state->object;
    Backend().DestroyWindow(hWnd);
    detail::RemoveWindow(hWnd);
    if (object != nullptr)
        object->Dispatch(WM_NCDESTROY, 0, 0);
    return true;
}

bool GetWindowRect(HWND hWnd, RECT* rect) {
    const detail::WindowState* state = detail::FindWindow(hWnd);
    if (state == nullptr || rect == nullptr)
        return false;
    *rect = state->rect;
    return true;
}

bool GetClientRect(HWND hWnd, RECT* rect) {
    const detail::WindowState* state = detail::FindWindow(hWnd);
    if (state == nullptr || rect == nullptr)
        return false;
    *rect = RECT{0, 0, state->rect.right - state->rect.left, state->rect.bottom - state->rect.top};
    return true;
}

bool SetWindowPos(HWND hWnd, HWND /*hWndInsertAfter*/, int x, int y, int cx, int cy, UINT flags) {
    const detail::WindowState* state = detail::FindWindow(hWnd);
    if (state == nullptr)
        return false;
    RECT rect = state->rect;
    if ((flags & SWP_NOMOVE) == 0) {
        rect = RECT{x, y, x + (rect.right - rect.left), y + (rect.bottom - rect.top)};
    }
    if ((flags & SWP_NOSIZE) == 0) {
        rect.right = rect.left + std::max(0, cx);
        rect.bottom = rect.top + std::max(0, cy);
    }
    detail::ApplyBounds(hWnd, rect);
    return true;
}

UINT GetWindowStyle(HWND hWnd) {
    const detail::WindowState* state = detail::FindWindow(hWnd);
    return state != nullptr ? state->style : 0;
}

void SetWindowStyle(HWND hWnd, UINT style) {
    detail::WindowState* state = detail::FindWindow(hWnd);
    if (state == nullptr)
        return;
    // Visibility changes only through ShowWindow; the bit keeps reporting it.
    state->style = (style & ~WS_VISIBLE) | (state->visible ? WS_VISIBLE : 0);
    Backend().SetStyle(hWnd, state->style);
}

bool IsIconic(HWND hWnd) {
    const detail::WindowState* state = detail::FindWindow(hWnd);
    return state != nullptr && state->iconic;
}

bool IsZoomed(HWND hWnd) {
    const detail::WindowState* state = detail::FindWindow(hWnd);
    return state != nullptr && state->zoomed && !state->iconic;
}

bool IsWindowVisible(HWND hWnd) {
    const detail::WindowState* state = detail::FindWindow(hWnd);
    return state != nullptr && state->visible;
}

bool EnableWindow(HWND hWnd, bool enable) {
    detail::WindowState* state = detail::FindWindow(hWnd);
    if (state == nullptr)
        return false;
    const bool wasDisabled = !state->enabled;
    if (state->enabled != enable) {
        state->enabled = enable;
        Backend().Enable(hWnd, enable);
        SendMessage(hWnd, WM_ENABLE, enable ? 1 : 0, 0);
    }
    return wasDisabled;
}

bool IsWindowEnabled(HWND hWnd) {
    const detail::WindowState* state = detail::FindWindow(hWnd);
    return state != nullptr && state->enabled;
}

bool ScreenToClient(HWND hWnd, POINT* pt) {
    const detail::WindowState* state = detail::FindWindow(hWnd);
    if (state == nullptr || pt == nullptr)
        return false;
    pt->x -= state->rect.left;
    pt->y -= state->rect.top;
    return true;
}

bool GetCursorPos(POINT* pt) {
    WindowBackend* backend = BackendIfStarted();
    if (backend == nullptr || pt == nullptr)
        return false;
    *pt = backend->CursorPos();
    return true;
}

void SetWindowRoundRegion(HWND hWnd, const RECT& rect, SIZE corner) {
    detail::WindowState* state = detail::FindWindow(hWnd);
    if (state == nullptr)
        return;
    state->roundCorner = corner;
    Backend().SetRoundRegion(hWnd, rect, corner);
}

RECT GetMonitorWorkArea(HWND hWnd) {
    return Backend().WorkArea(hWnd);
}

int MessageBox(HWND hWndOwner, LPCTSTR text, LPCTSTR caption, UINT type) {
    if (OnOtherThread()) {
        int answer = 0;
        PostAndWait([&] { answer = MessageBox(hWndOwner, text, caption, type); });
        return answer;
    }
    return Backend().MessageBox(IsWindow(hWndOwner) ? hWndOwner : nullptr, text ? text : L"",
                                caption ? caption : L"", type);
}

} // namespace DuiLib
