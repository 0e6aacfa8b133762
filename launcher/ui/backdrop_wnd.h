#pragma once
// The dim backdrop laid over the main window while the game-settings dialog is open. Its
// "windowinit" opens the dialog, modal, centred on it.
#include "launcher/ui/child_window.h"

class UIBackGroundWnd : public UIChildWnd {
public:
    DuiLib::LPCTSTR GetWindowClassName() const override { return L"UIBackGround"; }
    void Notify(DuiLib::TNotifyUI& msg) override;

protected:
    DuiLib::CStdString SkinFile() const override { return L"backGround.xml"; }
};
