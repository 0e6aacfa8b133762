#pragma once
// The server drop-down: a pop-up list of the shown area's servers that opens upward above the
// update window's server button. Created hidden by the frame's preparation; shown and hidden by
// the update window; a click on an item puts its text on the server button and closes it.
#include "launcher/ui/child_window.h"

class UIServerListWnd : public UIChildWnd {
public:
    DuiLib::LPCTSTR GetWindowClassName() const override { return L"UIServerListFrame"; }
    // "itemclick": the item's text goes on the server button, which toggles; the list hides.
    void Notify(DuiLib::TNotifyUI& msg) override;

    // Sizes the list for its item count (the list's own item height a row, at most five rows,
    // 4 more when it has any) and places it so that its bottom edge stays 46 pixels below the
    // update window's y offset: it grows upward. The frame's layout table keeps the new y offset.
    void AdjustPosition();
    // Unselects the server button and hides the drop-down when it is open.
    void CloseDropDown();

    int BaseYOffset = 0; // the update window's y offset, taken at creation
    DuiLib::CListUI* List = nullptr;

protected:
    DuiLib::CStdString SkinFile() const override { return L"serverList.xml"; }
    void OnSkinAttached() override;
};
