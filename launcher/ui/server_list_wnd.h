#pragma once
// The server drop-down that opens above the update window's server button.
#include "launcher/ui/child_window.h"

class UIServerListWnd : public UIChildWnd {
public:
    DuiLib::LPCTSTR GetWindowClassName() const override { return L"UIServerListFrame"; }

    // Unselects the server button and hides the drop-down when it is open.
    void CloseDropDown();
};
