#pragma once
// Control events and the delegates that observe them.
#include <vector>

#include "duilib/types.h"

namespace DuiLib {

class CControlUI;

// Event types; the values are part of the library's interface.
enum UIEVENT {
    UIEVENT_FIRST = 1,
    UIEVENT_KEYDOWN = 3,
    UIEVENT_KEYUP = 4,
    UIEVENT_MOUSEMOVE = 9,
    UIEVENT_MOUSELEAVE = 10,
    UIEVENT_MOUSEENTER = 11,
    UIEVENT_MOUSEHOVER = 12,
    UIEVENT_BUTTONDOWN = 13,
    UIEVENT_BUTTONUP = 14,
    UIEVENT_RBUTTONDOWN = 15,
    UIEVENT_DBLCLICK = 16,
    UIEVENT_SCROLLWHEEL = 19,
    UIEVENT_SETFOCUS = 20,
    UIEVENT_KILLFOCUS = 21,
    UIEVENT_TIMER = 23,
    UIEVENT_LAST = 26,
};

typedef struct tagTEventUI {
    int Type = 0;
    CControlUI* pSender = nullptr;
    uint32_t dwTimestamp = 0;
    POINT ptMouse;
    wchar_t chKey = 0;
    uint16_t wKeyState = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
} TEventUI;

// A plain function observing events; its result tells whether the event's own handling goes on.
using EventFunction = bool (*)(void* param);

class CDelegateStatic {
public:
    explicit CDelegateStatic(EventFunction function) : function_(function) {}
    bool operator()(void* param) const { return function_ ? function_(param) : true; }
    bool operator==(const CDelegateStatic& other) const { return function_ == other.function_; }

private:
    EventFunction function_;
};

inline CDelegateStatic MakeDelegate(EventFunction function) {
    return CDelegateStatic(function);
}

class CEventSource {
public:
    void operator+=(const CDelegateStatic& delegate) { delegates_.push_back(delegate); }
    void operator-=(const CDelegateStatic& delegate);
    // Calls every delegate in order; false as soon as one returns false.
    bool operator()(void* param) const;
    bool IsEmpty() const { return delegates_.empty(); }

private:
    std::vector<CDelegateStatic> delegates_;
};

} // namespace DuiLib
