#include "launcher/ui/backdrop_wnd.h"

#include "launcher/launcher.h"
#include "launcher/ui/game_setting_wnd.h"

using namespace DuiLib;

void UIBackGroundWnd::Notify(TNotifyUI& msg) {
    if (msg.sType != L"windowinit")
        return;
    auto* dialog = new UIGameSettingWnd();
    dialog->Backdrop = this;
    if (frame != nullptr && frame->GameSetBtn != nullptr)
        frame->GameSetBtn->SetEnabled(false);
    // A window whose creation failed has been freed by its own final message.
    if (dialog->Create(m_hWnd, L"", UI_WNDSTYLE_DIALOG, 0, 0, 0, 0, 0) == nullptr)
        return;
    dialog->CenterWindow();
    dialog->ShowModal();
}
