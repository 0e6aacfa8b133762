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
    if (dialog->Create(m_hWnd, L"", UI_WNDSTYLE_DIALOG, 0, 0, 0, 0, 0) == nullptr) {
        delete dialog;
        return;
    }
    dialog->CenterWindow();
    dialog->ShowModal();
}
