// The headless backend's test surface: window records, injected input, recorded dialogs.
#include "control_tree.h"
#include "duilib/headless.h"
#include "headless_backend.h"
#include "message_loop.h"
#include "window_table.h"

namespace DuiLib::Headless {

namespace {

Headless::WindowRecord RecordOf(const detail::WindowState& state) {
    WindowRecord record;
    record.hwnd = state.hwnd;
    record.parent = state.owner;
    record.className = state.className;
    record.title = state.title;
    record.style = state.style;
    record.rect = state.rect;
    record.visible = state.visible;
    record.enabled = state.enabled;
    record.modal = state.modal;
    record.iconic = state.iconic;
    record.zoomed = state.zoomed;
    record.roundCorner = state.roundCorner;
    return record;
}

void MoveCursorTo(const detail::WindowState& state, POINT clientPoint) {
    if (detail::HeadlessBackend* backend = detail::ActiveHeadless())
        backend->SetCursorPos(
            POINT{state.rect.left + clientPoint.x, state.rect.top + clientPoint.y});
}

} // namespace

std::vector<WindowRecord> Windows() {
    std::vector<WindowRecord> records;
    for (HWND hwnd : detail::WindowsInCreationOrder()) {
        if (const detail::WindowState* state = detail::FindWindow(hwnd))
            records.push_back(RecordOf(*state));
    }
    return records;
}

HWND FindWindowByClass(LPCTSTR className) {
    const std::wstring wanted = className != nullptr ? className : L"";
    for (HWND hwnd : detail::WindowsInCreationOrder()) {
        const detail::WindowState* state = detail::FindWindow(hwnd);
        if (state != nullptr && state->className == wanted)
            return hwnd;
    }
    return nullptr;
}

CWindowWnd* WindowObject(HWND hwnd) {
    const detail::WindowState* state = detail::FindWindow(hwnd);
    return state != nullptr ? state->object : nullptr;
}

CPaintManagerUI* PaintManagerOf(HWND hwnd) {
    const detail::WindowState* state = detail::FindWindow(hwnd);
    return state != nullptr ? state->manager : nullptr;
}

HWND ActiveWindow() {
    return detail::ActiveWindow();
}

bool Click(HWND hwnd, LPCTSTR controlName) {
    const detail::WindowState* state = detail::FindWindow(hwnd);
    if (state == nullptr || state->destroying || !state->visible || !state->enabled ||
        state->manager == nullptr)
        return false;
    const CControlUI* control = state->manager->FindControl(controlName);
    if (control == nullptr || !detail::VisibleInTree(control))
        return false;
    const RECT& pos = control->GetPos();
    const POINT pt{(pos.left + pos.right) / 2, (pos.top + pos.bottom) / 2};
    MoveCursorTo(*state, pt);

    // As on a desktop: the first click on an inactive window activates it, and the window may
    // react to that (the launcher closes its drop-down there).
    if (detail::ActiveWindow() != hwnd) {
        SendMessage(hwnd, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(hwnd),
                    MakePointParam(static_cast<int>(HTCLIENT), static_cast<int>(WM_LBUTTONDOWN)));
        if (!IsWindow(hwnd))
            return true;
        detail::SetActiveWindow(hwnd);
    }
    SendMessage(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MakePointParam(pt.x, pt.y));
    // The press may have closed the window; a user's release would then go nowhere.
    if (IsWindow(hwnd))
        SendMessage(hwnd, WM_LBUTTONUP, 0, MakePointParam(pt.x, pt.y));
    return true;
}

LRESULT SendMouse(HWND hwnd, UINT message, POINT clientPoint) {
    const detail::WindowState* state = detail::FindWindow(hwnd);
    if (state == nullptr)
        return 0;
    MoveCursorTo(*state, clientPoint);
    const WPARAM keys = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK ? MK_LBUTTON : 0;
    return SendMessage(hwnd, message, keys, MakePointParam(clientPoint.x, clientPoint.y));
}

std::vector<MessageBoxRecord> MessageBoxes() {
    detail::HeadlessBackend* backend = detail::ActiveHeadless();
    return backend != nullptr ? backend->messageBoxes : std::vector<MessageBoxRecord>();
}

void SetMessageBoxHandler(std::function<int(const MessageBoxRecord&)> handler) {
    if (detail::HeadlessBackend* backend = detail::ActiveHeadless())
        backend->messageBoxHandler = std::move(handler);
}

std::vector<std::wstring> Navigations(HWND hwnd) {
    detail::HeadlessBackend* backend = detail::ActiveHeadless();
    if (backend == nullptr)
        return {};
    const auto it = backend->browsers.find(hwnd);
    return it != backend->browsers.end() ? it->second.navigations : std::vector<std::wstring>();
}

bool IsBrowserSilent(HWND hwnd) {
    detail::HeadlessBackend* backend = detail::ActiveHeadless();
    if (backend == nullptr)
        return false;
    const auto it = backend->browsers.find(hwnd);
    return it != backend->browsers.end() && it->second.silent;
}

std::wstring BrowserErrorPage(HWND hwnd) {
    detail::HeadlessBackend* backend = detail::ActiveHeadless();
    if (backend == nullptr)
        return {};
    const auto it = backend->browsers.find(hwnd);
    return it != backend->browsers.end() ? it->second.errorPage : std::wstring();
}

std::vector<DrawCommand> PaintRecord(HWND hwnd) {
    RecordingRenderer renderer;
    RECT client;
    if (GetClientRect(hwnd, &client))
        NativePaint(hwnd, renderer, client);
    return renderer.commands;
}

RECT TakeInvalidated(HWND hwnd) {
    detail::HeadlessBackend* backend = detail::ActiveHeadless();
    if (backend == nullptr)
        return RECT{};
    const auto it = backend->invalidated.find(hwnd);
    if (it == backend->invalidated.end())
        return RECT{};
    const RECT all = it->second;
    backend->invalidated.erase(it);
    return all;
}

bool PumpMessages() {
    return detail::PumpPending();
}

} // namespace DuiLib::Headless
