#pragma once
// The three web panels laid over the main window.
#include "launcher/ui/child_window.h"

class UINewsWnd : public UIChildWnd {
public:
    DuiLib::LPCTSTR GetWindowClassName() const override { return L"UINewsFrame"; }
};

class UINews2Wnd : public UIChildWnd {
public:
    DuiLib::LPCTSTR GetWindowClassName() const override { return L"UINews2Frame"; }
};

class UITopWnd : public UIChildWnd {
public:
    DuiLib::LPCTSTR GetWindowClassName() const override { return L"UITopFrame"; }
};
