#pragma once
// The three web panels laid over the main window: the left and right news pages and the top
// page, each shown by the skin's embedded browser control "IE".
#include <wx/string.h>

#include "launcher/ui/child_window.h"

class UIWebPanelWnd : public UIChildWnd {
public:
    // A click anywhere in the panel closes the server drop-down.
    void Notify(DuiLib::TNotifyUI& msg) override;

protected:
    bool ClosesDropDownOnActivate() const override { return true; }
    // Points the "IE" control, silenced, at the panel's page; a skin without one leaves the
    // panel blank.
    void OnSkinAttached() override;
    // The page for the frame's screen-size mode.
    virtual wxString PageUrl() const = 0;
};

class UINewsWnd : public UIWebPanelWnd {
public:
    DuiLib::LPCTSTR GetWindowClassName() const override { return L"UINewsFrame"; }

protected:
    DuiLib::CStdString SkinFile() const override;
    wxString PageUrl() const override;
};

class UINews2Wnd : public UIWebPanelWnd {
public:
    DuiLib::LPCTSTR GetWindowClassName() const override { return L"UINews2Frame"; }

protected:
    DuiLib::CStdString SkinFile() const override;
    wxString PageUrl() const override;
};

class UITopWnd : public UIWebPanelWnd {
public:
    DuiLib::LPCTSTR GetWindowClassName() const override { return L"UITopFrame"; }

protected:
    DuiLib::CStdString SkinFile() const override;
    wxString PageUrl() const override;
};
