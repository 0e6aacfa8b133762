#include "web_browser.h"

#include <wx/weakref.h>
#include <wx/webview.h>

namespace DuiLib::display {

namespace {

class WebBrowser final : public EmbeddedBrowser {
public:
    explicit WebBrowser(wxWebView* view) : view_(view) {
        view_->Bind(wxEVT_WEBVIEW_ERROR, [this](wxWebViewEvent& event) {
            event.Skip();
            // One replacement per failed page: an error page that fails shows the engine's.
            // A load cut short by the next one is no failure of the page.
            if (!view_ || errorPage_.empty() || event.GetURL() == errorPage_ ||
                event.GetInt() == wxWEBVIEW_NAV_ERR_USER_CANCELLED)
                return;
            // After the engine has finished with the failed load, not inside its report.
            const wxString page = errorPage_;
            view_->CallAfter([view = view_, page] {
                if (view)
                    view->LoadURL(page);
            });
        });
    }
    ~WebBrowser() override {
        if (view_)
            view_->Destroy();
    }

    // A silent browser keeps the page's own dialogs and menus away from the player.
    void put_Silent(bool silent) override {
        if (view_)
            view_->EnableContextMenu(!silent);
    }
    bool Navigate(LPCTSTR url) override {
        if (!view_ || url == nullptr)
            return false;
        view_->LoadURL(url);
        return true;
    }
    void SetErrorPage(LPCTSTR url) override { errorPage_ = url != nullptr ? url : L""; }
    void SetBounds(const RECT& clientRect) override {
        if (view_)
            view_->SetSize(clientRect.left, clientRect.top, clientRect.right - clientRect.left,
                           clientRect.bottom - clientRect.top);
    }
    void SetVisible(bool visible) override {
        if (view_)
            view_->Show(visible);
    }

private:
    // The window's frame takes its children along when it goes before the control.
    wxWeakRef<wxWebView> view_;
    wxString errorPage_;
};

} // namespace

std::unique_ptr<EmbeddedBrowser> MakeWebBrowser(wxWindow* canvas) {
    if (canvas == nullptr || !wxWebView::IsBackendAvailable(wxWebViewBackendDefault))
        return nullptr;
    wxWebView* view = wxWebView::New(canvas, wxID_ANY, wxWebViewDefaultURLStr, wxDefaultPosition,
                                     wxDefaultSize, wxWebViewBackendDefault, wxBORDER_NONE);
    if (view == nullptr)
        return nullptr;
    return std::make_unique<WebBrowser>(view);
}

} // namespace DuiLib::display
