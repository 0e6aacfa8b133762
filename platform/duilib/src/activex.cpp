#include "control_tree.h"
#include "duilib/controls.h"
#include "duilib/paint_manager.h"
#include "duilib/window.h"
#include "duilib/window_backend.h"

namespace DuiLib {

namespace {

EmbeddedBrowser* AsEmbedded(IWebBrowser* browser) {
    return static_cast<EmbeddedBrowser*>(browser);
}

} // namespace

CActiveXUI::~CActiveXUI() {
    delete AsEmbedded(browser_);
}

LPCTSTR CActiveXUI::GetClass() const {
    return L"ActiveXUI";
}

IWebBrowser* CActiveXUI::GetControl() {
    if (browser_ != nullptr)
        return browser_;
    // A web view lives inside a native window, so the browser waits for the control's window.
    HWND hwnd = manager_ != nullptr ? manager_->GetPaintWindow() : nullptr;
    WindowBackend* backend = BackendIfStarted();
    if (hwnd == nullptr || backend == nullptr || !IsWindow(hwnd))
        return nullptr;
    std::unique_ptr<EmbeddedBrowser> browser = backend->CreateBrowser(hwnd);
    if (!browser)
        return nullptr;
    browser->SetBounds(pos_);
    browser->SetVisible(detail::VisibleInTree(this));
    browser_ = browser.release();
    return browser_;
}

void CActiveXUI::SetPos(RECT rc) {
    // The browser is a native child over the control: it follows every move.
    CControlUI::SetPos(rc);
    if (browser_ != nullptr)
        AsEmbedded(browser_)->SetBounds(rc);
}

void CActiveXUI::DoPaint(IRenderer& /*renderer*/, const RECT& /*dirty*/) {}

void CActiveXUI::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    if (browser_ != nullptr)
        AsEmbedded(browser_)->SetVisible(visible);
}

} // namespace DuiLib
