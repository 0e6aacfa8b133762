#include "launcher/ui/game_setting_wnd.h"

#include "launcher/config/setting_config.h"
#include "launcher/launcher.h"
#include "launcher/ui/backdrop_wnd.h"

using namespace DuiLib;

namespace {

struct ResolutionOption {
    const wchar_t* name;
    const wchar_t* index;
};

constexpr ResolutionOption Resolutions[] = {
    {L"pel800_600", L"0"},
    {L"pel1024_768", L"1"},
    {L"pel1280_800", L"2"},
    {L"pel1280_768", L"3"},
};

COptionUI* FindOption(CPaintManagerUI& manager, const wchar_t* name) {
    return dynamic_cast<COptionUI*>(manager.FindControl(name));
}

} // namespace

LRESULT UIGameSettingWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_CREATE)
        return CreateFromSkin();
    if (uMsg == WM_NCHITTEST) {
        POINT pt{SignedLowWord(lParam), SignedHighWord(lParam)};
        ScreenToClient(m_hWnd, &pt);
        return CaptionHitTest(pt);
    }
    return DefaultHandling(uMsg, wParam, lParam);
}

void UIGameSettingWnd::InitControls() {
    FullScreenOption = FindOption(PaintManager, L"FullScreenOption");
    OptionVoice = FindOption(PaintManager, L"OptionVoice");
    COptionUI** slots[] = {&Pel800x600, &Pel1024x768, &Pel1280x800, &Pel1280x768};
    for (size_t i = 0; i < std::size(Resolutions); ++i)
        *slots[i] = FindOption(PaintManager, Resolutions[i].name);

    SettingConfig* settings = SettingConfig::Instance();
    if (FullScreenOption != nullptr)
        FullScreenOption->Selected(!settings->FullScreen);
    for (size_t i = 0; i < std::size(Resolutions); ++i) {
        COptionUI* option = *slots[i];
        if (option == nullptr)
            continue;
        wxString text = ResolutionText;
        if (text.empty())
            text = settings->Resolution.empty() ? wxString(L"0") : settings->Resolution;
        if (text == Resolutions[i].index)
            option->Selected(true);
        ResolutionText = text;
    }
}

void UIGameSettingWnd::Notify(TNotifyUI& msg) {
    // Without its skin the dialog has neither OK nor Cancel: it goes as Cancel would, or the
    // player could never leave its modal loop.
    if (msg.sType == L"windowinit" && SkinMissing) {
        CloseWithBackdrop();
        return;
    }
    if (msg.pSender == nullptr)
        return;
    const CStdString sender = msg.pSender->GetName();
    if (msg.sType == L"itemselect") {
        if (sender == L"ResolutionCombo")
            ResolutionText = msg.pSender->GetText().GetData();
        return;
    }
    if (msg.sType != L"click")
        return;
    SettingConfig* settings = SettingConfig::Instance();
    if (sender == L"FullScreenOption") {
        settings->FullScreen = !settings->FullScreen;
    } else if (sender == L"OkBtn") {
        settings->Resolution = ResolutionText;
        settings->Save();
        CloseWithBackdrop();
    } else if (sender == L"CancelBtn") {
        CloseWithBackdrop();
    } else {
        for (const ResolutionOption& resolution : Resolutions) {
            if (sender == resolution.name)
                ResolutionText = resolution.index;
        }
    }
}

void UIGameSettingWnd::CloseWithBackdrop() {
    LauncherFrameWnd* owner = Backdrop != nullptr ? Backdrop->frame : nullptr;
    if (owner != nullptr && owner->GameSetBtn != nullptr)
        owner->GameSetBtn->SetEnabled(true);
    UIBackGroundWnd* backdrop = Backdrop;
    Close();
    if (backdrop != nullptr)
        backdrop->Close();
}

void UIGameSettingWnd::OnFinalMessage(HWND) {
    PaintManager.RemovePreMessageFilter(this);
    delete this;
}
