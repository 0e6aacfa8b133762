#include "duilib/paint_manager.h"

#include <algorithm>
#include <map>
#include <string>
#include <unordered_map>

#include "control_tree.h"
#include "duilib/ui_thread.h"
#include "duilib/window.h"
#include "duilib/window_backend.h"
#include "system/ticks.h"
#include "window_table.h"

namespace DuiLib {

struct CPaintManagerUI::State {
    HWND hwnd = nullptr;
    CControlUI* root = nullptr;
    std::vector<CControlUI*> retiredRoots; // replaced while their events may still run
    std::vector<INotifyUI*> notifiers;
    std::vector<IMessageFilterUI*> preFilters;
    // Every control by name in registration (document) order; the first one is found. A skin
    // may give thousands of controls one name, so neither adding nor removing one searches.
    struct Registration {
        std::wstring name;
        uint64_t order = 0;
    };
    std::unordered_map<std::wstring, std::map<uint64_t, CControlUI*>> names;
    std::unordered_map<const CControlUI*, Registration> registered;
    uint64_t nextOrder = 0;
    SIZE initSize;
    SIZE roundCorner;
    RECT caption;
    uint32_t bkColor = 0;
    CControlUI* pushed = nullptr;
    CControlUI* hot = nullptr;
    POINT lastMouse;
    bool windowInitSent = false;
    bool tearingDown = false;
    // Expires with the manager; posted work and notification loops check it.
    std::shared_ptr<char> life = std::make_shared<char>();
};

namespace {

RECT ClientRectOf(HWND hwnd) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    return rc;
}

template <typename T> bool AddUnique(std::vector<T*>& list, T* item) {
    if (item == nullptr || std::find(list.begin(), list.end(), item) != list.end())
        return false;
    list.push_back(item);
    return true;
}

template <typename T> bool RemoveItem(std::vector<T*>& list, T* item) {
    const auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}

template <typename T> bool Contains(const std::vector<T*>& list, T* item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// Hands control a mouse event of the given type at pt.
void SendMouseEvent(CControlUI* control, int type, POINT pt, WPARAM wParam, LPARAM lParam) {
    TEventUI event;
    event.Type = type;
    event.pSender = control;
    event.dwTimestamp = platform::GetTickCount();
    event.ptMouse = pt;
    event.wParam = wParam;
    event.lParam = lParam;
    control->Event(event);
}

} // namespace

CPaintManagerUI::CPaintManagerUI() : state_(std::make_unique<State>()) {}

CPaintManagerUI::~CPaintManagerUI() {
    state_->tearingDown = true;
    state_->life.reset();
    if (detail::WindowState* window = detail::FindWindow(state_->hwnd)) {
        if (window->manager == this)
            window->manager = nullptr;
    }
    delete state_->root;
    state_->root = nullptr;
    for (CControlUI* root : state_->retiredRoots)
        delete root;
}

void CPaintManagerUI::Init(HWND hWnd) {
    state_->hwnd = hWnd;
    if (detail::WindowState* window = detail::FindWindow(hWnd))
        window->manager = this;
}

HWND CPaintManagerUI::GetPaintWindow() const {
    return state_->hwnd;
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
    if (root == nullptr)
        return false;
    if (state_->root != nullptr && state_->root != root) {
        // The old tree may be the one whose event is running right now: free it later.
        state_->retiredRoots.push_back(state_->root);
        detail::ForEachControl(state_->root, [this](CControlUI* control) {
            if (state_->pushed == control)
                state_->pushed = nullptr;
            if (state_->hot == control)
                state_->hot = nullptr;
        });
    }
    state_->names.clear();
    state_->registered.clear();
    state_->root = root;
    state_->windowInitSent = false;
    root->SetManager(this, nullptr);

    HWND hwnd = state_->hwnd;
    if (IsWindow(hwnd) && state_->initSize.cx > 0 && state_->initSize.cy > 0)
        SetWindowPos(hwnd, nullptr, 0, 0, state_->initSize.cx, state_->initSize.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    root->PlaceIn(ClientRectOf(hwnd));
    Invalidate(ClientRectOf(hwnd));

    // "windowinit" comes on the next turn of the loop, once creation has finished.
    std::weak_ptr<char> life = state_->life;
    PostToUiThread([this, life] {
        if (!life.expired())
            SendWindowInit();
    });
    return true;
}

void CPaintManagerUI::SendWindowInit() {
    if (state_->windowInitSent || state_->root == nullptr)
        return;
    const detail::WindowState* window = detail::FindWindow(state_->hwnd);
    if (window == nullptr || window->destroying)
        return;
    state_->windowInitSent = true;
    state_->root->SetPos(state_->root->PlacedRect(ClientRectOf(state_->hwnd)));
    SendNotify(state_->root, L"windowinit");
}

CControlUI* CPaintManagerUI::GetRoot() const {
    return state_->root;
}

bool CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    return AddUnique(state_->notifiers, notifier);
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
    return RemoveItem(state_->notifiers, notifier);
}

bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* filter) {
    return AddUnique(state_->preFilters, filter);
}

bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* filter) {
    return RemoveItem(state_->preFilters, filter);
}

CControlUI* CPaintManagerUI::FindControl(LPCTSTR name) const {
    if (name == nullptr)
        return nullptr;
    const auto it = state_->names.find(name);
    return it == state_->names.end() || it->second.empty() ? nullptr : it->second.begin()->second;
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
    return state_->root != nullptr ? state_->root->FindControlAt(pt) : nullptr;
}

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    // As with notifiers: a filter may remove filters or free the window.
    const std::weak_ptr<char> life = state_->life;
    const std::vector<IMessageFilterUI*> filters = state_->preFilters;
    for (IMessageFilterUI* filter : filters) {
        if (life.expired())
            return false;
        if (!Contains(state_->preFilters, filter))
            continue; // removed by an earlier filter
        bool handled = false;
        const LRESULT result = filter->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled) {
            lRes = result;
            return true;
        }
    }
    return false;
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    lRes = 0;
    const POINT pt{SignedLowWord(lParam), SignedHighWord(lParam)};
    switch (uMsg) {
    case WM_PAINT:
        // The backend's renderer and dirty rectangle come with the window, as it is painted.
        if (const detail::WindowState* window = detail::FindWindow(state_->hwnd);
            window != nullptr && window->paint != nullptr)
            Paint(*window->paint->renderer, window->paint->dirty);
        return true;
    case WM_SIZE:
        // A minimised window reports 0 by 0; the layout keeps the size it will come back to.
        if (wParam != SIZE_MINIMIZED && state_->root != nullptr)
            state_->root->SetPos(state_->root->PlacedRect(ClientRectOf(state_->hwnd)));
        return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        // A double-click is a second press: our controls give it no meaning of its own.
        state_->lastMouse = pt;
        SetPushed(nullptr);
        CControlUI* control = FindControl(pt);
        if (control == nullptr || !detail::EnabledInTree(control))
            return true;
        SetPushed(control);
        SendMouseEvent(control, UIEVENT_BUTTONDOWN, pt, wParam, lParam);
        return true;
    }
    case WM_LBUTTONUP: {
        // Only the control that took the press hears the release; it decides on the click.
        state_->lastMouse = pt;
        CControlUI* control = state_->pushed;
        SetPushed(nullptr);
        if (control == nullptr)
            return true;
        SendMouseEvent(control, UIEVENT_BUTTONUP, pt, wParam, lParam);
        return true;
    }
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE: {
        // The pointer leaving the window leaves no control hot.
        const bool left = uMsg == WM_MOUSELEAVE;
        if (!left)
            state_->lastMouse = pt;
        CControlUI* control = left ? nullptr : FindControl(pt);
        if (control != state_->hot) {
            if (CControlUI* old = state_->hot) {
                SetHot(nullptr);
                SendMouseEvent(old, UIEVENT_MOUSELEAVE, pt, wParam, lParam);
            }
            SetHot(control);
            if (control != nullptr)
                SendMouseEvent(control, UIEVENT_MOUSEENTER, pt, wParam, lParam);
        }
        if (left)
            return true;
        // While the button is held the pressed control keeps getting the moves.
        CControlUI* target = state_->pushed != nullptr ? state_->pushed : state_->hot;
        if (target != nullptr && detail::EnabledInTree(target))
            SendMouseEvent(target, UIEVENT_MOUSEMOVE, pt, wParam, lParam);
        return true;
    }
    default:
        return false;
    }
}

void CPaintManagerUI::SendNotify(CControlUI* sender, LPCTSTR type, WPARAM wParam, LPARAM lParam) {
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = sender;
    msg.dwTimestamp = platform::GetTickCount();
    msg.ptMouse = state_->lastMouse;
    msg.wParam = wParam;
    msg.lParam = lParam;
    // A notifier may remove notifiers, or close the window and so free this manager.
    const std::weak_ptr<char> life = state_->life;
    const std::vector<INotifyUI*> notifiers = state_->notifiers;
    for (INotifyUI* notifier : notifiers) {
        if (life.expired())
            return;
        if (Contains(state_->notifiers, notifier))
            notifier->Notify(msg);
    }
}

SIZE CPaintManagerUI::GetInitSize() const {
    return state_->initSize;
}

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    state_->initSize = SIZE{cx, cy};
    // Once a skin is attached the window follows at once; before that AttachDialog applies it.
    if (state_->root != nullptr && IsWindow(state_->hwnd) && cx > 0 && cy > 0)
        SetWindowPos(state_->hwnd, nullptr, 0, 0, cx, cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE CPaintManagerUI::GetRoundCorner() const {
    return state_->roundCorner;
}

void CPaintManagerUI::SetRoundCorner(int cx, int cy) {
    state_->roundCorner = SIZE{cx, cy};
}

RECT CPaintManagerUI::GetCaptionRect() const {
    return state_->caption;
}

void CPaintManagerUI::SetCaptionRect(const RECT& rc) {
    state_->caption = rc;
}

uint32_t CPaintManagerUI::GetBkColor() const {
    return state_->bkColor;
}

void CPaintManagerUI::SetBkColor(uint32_t color) {
    state_->bkColor = color;
}

CControlUI* CPaintManagerUI::GetHotControl() const {
    return state_->hot;
}

CControlUI* CPaintManagerUI::GetPushedControl() const {
    return state_->pushed;
}

// The controls keep the state they are painted in; the manager keeps who has it.
void CPaintManagerUI::SetHot(CControlUI* control) {
    if (state_->hot == control)
        return;
    if (state_->hot != nullptr)
        state_->hot->SetHot(false);
    state_->hot = control;
    if (control != nullptr)
        control->SetHot(true);
}

void CPaintManagerUI::SetPushed(CControlUI* control) {
    if (state_->pushed == control)
        return;
    if (state_->pushed != nullptr)
        state_->pushed->SetPushed(false);
    state_->pushed = control;
    if (control != nullptr)
        control->SetPushed(true);
}

void CPaintManagerUI::Invalidate(const RECT& rc) {
    WindowBackend* backend = BackendIfStarted();
    if (backend != nullptr && !state_->tearingDown && IsWindow(state_->hwnd))
        backend->Invalidate(state_->hwnd, rc);
}

// While the manager tears its tree down the name map goes as a whole.
void CPaintManagerUI::ReapObjects(CControlUI* control) {
    if (state_->pushed == control)
        state_->pushed = nullptr;
    if (state_->hot == control)
        state_->hot = nullptr;
    if (!state_->tearingDown)
        UnregisterName(control);
}

void CPaintManagerUI::RegisterName(CControlUI* control) {
    const CStdString name = control->GetName();
    if (name.IsEmpty())
        return;
    const auto known = state_->registered.find(control);
    if (known != state_->registered.end()) {
        if (known->second.name == name.str())
            return; // keeps its place among controls of the same name
        UnregisterName(control);
    }
    const uint64_t order = state_->nextOrder++;
    state_->names[name.str()].emplace(order, control);
    state_->registered.emplace(control, State::Registration{name.str(), order});
}

void CPaintManagerUI::UnregisterName(CControlUI* control) {
    const auto known = state_->registered.find(control);
    if (known == state_->registered.end())
        return;
    const auto named = state_->names.find(known->second.name);
    if (named != state_->names.end()) {
        named->second.erase(known->second.order);
        if (named->second.empty())
            state_->names.erase(named);
    }
    state_->registered.erase(known);
}

} // namespace DuiLib
