#pragma once
// The game-settings dialog: four resolutions and windowed or full-screen play. OK stores the
// choice in "resolution.ini"; Cancel drops the resolution picked here (a full-screen toggle
// stays in memory until the next OK). Either closes the dialog and its backdrop.
#include <wx/string.h>

#include "launcher/ui/child_window.h"

class UIBackGroundWnd;

class UIGameSettingWnd : public UIChildWnd {
public:
    DuiLib::LPCTSTR GetWindowClassName() const override { return L"UIGameSettingFrame"; }
    DuiLib::LRESULT HandleMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam,
                                  DuiLib::LPARAM lParam) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

    // Selects the stored resolution ("pel800_600" when none is stored) and the windowed-play
    // option, and takes the resolution text from them.
    void InitControls();

    DuiLib::COptionUI* FullScreenOption = nullptr; // selected for windowed play
    DuiLib::COptionUI* OptionVoice = nullptr;
    DuiLib::COptionUI* Pel800x600 = nullptr;
    DuiLib::COptionUI* Pel1024x768 = nullptr;
    DuiLib::COptionUI* Pel1280x800 = nullptr;
    DuiLib::COptionUI* Pel1280x768 = nullptr;
    UIBackGroundWnd* Backdrop = nullptr;
    wxString ResolutionText; // "0" to "3"

protected:
    DuiLib::CStdString SkinFile() const override { return L"setting.xml"; }
    void OnSkinAttached() override { InitControls(); }
    void OnFinalMessage(DuiLib::HWND) override;

private:
    void CloseWithBackdrop();
};
