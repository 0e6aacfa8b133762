#include "launcher/ui/web_panels.h"

#include "launcher/launcher.h"

using namespace DuiLib;

namespace {

// Only the smallest screen-size mode has pages of its own; mode 1 shows the ordinary ones.
const wxString& PageFor(const LauncherFrameWnd* frame, const wxString& ordinary,
                        const wxString& small) {
    return frame->ScreenSizeMode == 2 ? small : ordinary;
}

int ModeOf(const LauncherFrameWnd* frame) {
    return frame != nullptr ? frame->ScreenSizeMode : 0;
}

} // namespace

void UIWebPanelWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == L"click")
        CloseServerDropDown();
}

void UIWebPanelWnd::OnSkinAttached() {
    auto* control = dynamic_cast<CActiveXUI*>(PaintManager.FindControl(L"IE"));
    if (control == nullptr || frame == nullptr)
        return;
    IWebBrowser* browser = control->GetControl();
    if (browser == nullptr)
        return;
    browser->put_Silent(true);
    // The operator's page stands in for a news page that cannot be loaded.
    browser->SetErrorPage(frame->Web404Url.wc_str());
    browser->Navigate(PageUrl().wc_str());
    browser->Release();
}

CStdString UINewsWnd::SkinFile() const {
    return SkinForMode(L"news", ModeOf(frame));
}

wxString UINewsWnd::PageUrl() const {
    return PageFor(frame, frame->LeftUrl, frame->Left600Url);
}

CStdString UINews2Wnd::SkinFile() const {
    return SkinForMode(L"news2", ModeOf(frame));
}

wxString UINews2Wnd::PageUrl() const {
    return PageFor(frame, frame->RightUrl, frame->Right600Url);
}

CStdString UITopWnd::SkinFile() const {
    return SkinForMode(L"top", ModeOf(frame));
}

wxString UITopWnd::PageUrl() const {
    return PageFor(frame, frame->TopUrl, frame->Top600Url);
}
