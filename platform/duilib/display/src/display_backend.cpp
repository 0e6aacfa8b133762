#include "display_backend.h"

#include <algorithm>
#include <csignal>

#include <glib-unix.h>
#include <gtk/gtk.h>
#include <wx/display.h>
#include <wx/gdicmn.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include "duilib/window.h"
#include "native_window.h"
#include "system/display.h"
#include "web_browser.h"

namespace DuiLib::display {

namespace {

constexpr UINT kButtonsMask = 0x0F;
constexpr UINT kIconMask = 0xF0;
constexpr UINT kIconQuestion = 0x20;
constexpr UINT kIconWarning = 0x30;
constexpr UINT kIconInformation = 0x40;

platform::DisplayMode CurrentMode() {
    const wxRect screen = wxDisplay(0u).GetGeometry();
    // X keeps depth-24 pixels in 32 bits, which is what the launcher's depth check means.
    const int depth = wxDisplayDepth();
    return platform::DisplayMode{screen.width, screen.height, depth == 24 ? 32 : depth};
}

long DialogStyle(UINT type) {
    long style = 0;
    switch (type & kButtonsMask) {
    case MB_YESNO:
        style = wxYES_NO;
        break;
    case MB_OKCANCEL:
        style = wxOK | wxCANCEL;
        break;
    default:
        style = wxOK;
        break;
    }
    switch (type & kIconMask) {
    case MB_ICONERROR:
        return style | wxICON_ERROR;
    case kIconQuestion:
        return style | wxICON_QUESTION;
    case kIconWarning:
        return style | wxICON_WARNING;
    case kIconInformation:
        return style | wxICON_INFORMATION;
    default:
        return style;
    }
}

int AnswerOf(int wxAnswer, UINT type) {
    switch (wxAnswer) {
    case wxID_YES:
        return IDYES;
    case wxID_NO:
        return IDNO;
    case wxID_CANCEL:
        // Closing a yes/no box without an answer is a no.
        return (type & kButtonsMask) == MB_YESNO ? IDNO : IDCANCEL;
    default:
        return IDOK;
    }
}

wxRect WxRectOf(const RECT& rect) {
    return wxRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

} // namespace

bool DisplayBackend::Open() {
    return pump_.Start();
}

void DisplayBackend::Start() {
    platform::SetDisplayProvider(platform::DisplayProvider{
        [] { return CurrentMode(); },
        [](const platform::DisplayMode&) { return false; },
    });
    // A terminal's Ctrl+C or a service stop closes the launcher as its close box would.
    g_unix_signal_add(SIGTERM, &DisplayBackend::OnTerminationSignal, this);
    g_unix_signal_add(SIGINT, &DisplayBackend::OnTerminationSignal, this);
}

// UI thread, from the GTK main context, which may be the nested loop of a message box or a
// drop-down menu: those loops never return to DuiLib's, so they are ended here, or the close
// would wait for a user who is not there.
int DisplayBackend::OnTerminationSignal(void* backend) {
    auto* self = static_cast<DisplayBackend*>(backend);
    self->terminating_ = true;
    for (wxMessageDialog* box : self->openBoxes_) {
        if (GtkWidget* widget = box->GetHandle())
            gtk_dialog_response(GTK_DIALOG(widget), GTK_RESPONSE_DELETE_EVENT);
    }
    if (self->openMenu_ != nullptr && self->openMenu_->m_menu != nullptr)
        gtk_menu_popdown(GTK_MENU(self->openMenu_->m_menu));
    const std::vector<HWND>& windows = self->topLevel_;
    const auto alive = std::find_if(windows.begin(), windows.end(), IsWindow);
    if (alive != windows.end())
        PostMessage(*alive, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
        PostQuitMessage(0);
    return G_SOURCE_CONTINUE;
}

void DisplayBackend::Stop() {
    pump_.Stop();
}

NativeWindow* DisplayBackend::Find(HWND hwnd) const {
    const auto it = windows_.find(hwnd);
    return it != windows_.end() ? it->second.get() : nullptr;
}

void DisplayBackend::CreateWindow(HWND hwnd, HWND owner, const std::wstring& title, UINT,
                                  const RECT& screenRect) {
    windows_[hwnd] = new NativeWindow(*this, hwnd, Find(owner), title, screenRect);
    if (owner == nullptr)
        topLevel_.push_back(hwnd);
}

void DisplayBackend::DestroyWindow(HWND hwnd) {
    NativeWindow* window = Find(hwnd);
    windows_.erase(hwnd);
    std::erase(topLevel_, hwnd);
    if (window == nullptr)
        return;
    window->EndMouseCapture();
    window->Hide();
    // Deferred: the frame may be the one whose event handler runs right now.
    window->Destroy();
}

void DisplayBackend::SetBounds(HWND hwnd, const RECT& screenRect) {
    if (NativeWindow* window = Find(hwnd))
        window->SetSize(WxRectOf(screenRect));
}

void DisplayBackend::SetTitle(HWND hwnd, const std::wstring& title) {
    if (NativeWindow* window = Find(hwnd))
        window->SetTitle(title);
}

void DisplayBackend::Show(HWND hwnd, bool show, bool activate) {
    NativeWindow* window = Find(hwnd);
    if (window == nullptr)
        return;
    if (!show) {
        window->Hide();
        return;
    }
    if (activate)
        window->Show();
    else
        window->ShowWithoutActivating();
    // A window moved while hidden (the server drop-down is placed before it opens) is mapped
    // where the toolkit first put it, while the toolkit believes it moved: the native window is
    // moved to its record's place directly.
    RECT rc;
    GtkWidget* widget = GTK_WIDGET(window->GetHandle());
    GdkWindow* native = widget != nullptr ? gtk_widget_get_window(widget) : nullptr;
    if (native != nullptr && GetWindowRect(hwnd, &rc))
        gdk_window_move(native, rc.left, rc.top);
    if (activate)
        window->Raise();
}

void DisplayBackend::Enable(HWND hwnd, bool enable) {
    if (NativeWindow* window = Find(hwnd))
        window->Enable(enable);
}

void DisplayBackend::SetShowState(HWND hwnd, bool iconic, bool /*zoomed*/) {
    // A zoomed window's size is set by the core through SetBounds.
    if (NativeWindow* window = Find(hwnd))
        window->Iconize(iconic);
}

void DisplayBackend::SetRoundRegion(HWND hwnd, const RECT& rect, SIZE corner) {
    if (NativeWindow* window = Find(hwnd))
        window->SetRoundShape(rect, corner);
}

void DisplayBackend::BeginModal(HWND hwnd) {
    if (NativeWindow* window = Find(hwnd))
        window->Raise();
}

void DisplayBackend::Invalidate(HWND hwnd, const RECT& clientRect) {
    if (NativeWindow* window = Find(hwnd))
        window->Canvas()->RefreshRect(WxRectOf(clientRect), false);
}

void DisplayBackend::WaitForWork(std::chrono::milliseconds timeout) {
    pump_.WaitForWork(timeout);
}

void DisplayBackend::Wake() {
    pump_.Wake();
}

int DisplayBackend::MessageBox(HWND owner, const std::wstring& text, const std::wstring& caption,
                               UINT type) {
    // Once the application is told to end, a box is answered as if closed unanswered.
    if (terminating_)
        return AnswerOf(wxID_CANCEL, type);
    wxMessageDialog dialog(Find(owner), text, caption, DialogStyle(type));
    openBoxes_.push_back(&dialog);
    const int answer = dialog.ShowModal();
    std::erase(openBoxes_, &dialog);
    return AnswerOf(answer, type);
}

std::unique_ptr<EmbeddedBrowser> DisplayBackend::CreateBrowser(HWND hwnd) {
    NativeWindow* window = Find(hwnd);
    return window != nullptr ? MakeWebBrowser(window->Canvas()) : nullptr;
}

int DisplayBackend::ChooseListItem(HWND hwnd, const RECT& anchorClientRect,
                                   const std::vector<std::wstring>& items, int current) {
    NativeWindow* window = Find(hwnd);
    if (window == nullptr || items.empty() || terminating_)
        return -1;
    wxMenu menu;
    for (size_t i = 0; i < items.size(); ++i) {
        wxMenuItem* item = menu.AppendCheckItem(static_cast<int>(i) + 1, items[i]);
        item->Check(static_cast<int>(i) == current);
    }
    openMenu_ = &menu;
    const int chosen = window->Canvas()->GetPopupMenuSelectionFromUser(
        menu, wxPoint(anchorClientRect.left, anchorClientRect.bottom));
    openMenu_ = nullptr;
    return chosen == wxID_NONE ? -1 : chosen - 1;
}

SIZE DisplayBackend::ScreenSize() {
    const platform::DisplayMode mode = CurrentMode();
    return SIZE{mode.width, mode.height};
}

RECT DisplayBackend::WorkArea(HWND hwnd) {
    const NativeWindow* window = Find(hwnd);
    const int index = window != nullptr ? wxDisplay::GetFromWindow(window) : wxNOT_FOUND;
    const wxRect area =
        wxDisplay(index != wxNOT_FOUND ? static_cast<unsigned>(index) : 0u).GetClientArea();
    return RECT{area.x, area.y, area.x + area.width, area.y + area.height};
}

POINT DisplayBackend::CursorPos() {
    const wxPoint point = wxGetMousePosition();
    return POINT{point.x, point.y};
}

} // namespace DuiLib::display
