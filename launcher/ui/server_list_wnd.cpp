#include "launcher/ui/server_list_wnd.h"

#include "launcher/launcher.h"
#include "launcher/ui/update_wnd.h"

void UIServerListWnd::CloseDropDown() {
    if (frame == nullptr)
        return;
    UIUpdateWnd* updateWnd = frame->UpdateWnd.load();
    DuiLib::COptionUI* serverButton = updateWnd ? updateWnd->ServerBtn : nullptr;
    if (serverButton == nullptr || !serverButton->IsSelected())
        return;
    serverButton->Selected(false);
    if (frame->ServerListWnd != nullptr)
        frame->ServerListWnd->ShowWindow(false, true);
}
