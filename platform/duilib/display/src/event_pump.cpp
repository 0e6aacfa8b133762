#include "event_pump.h"

#include <X11/Xlib.h>
#include <cstdlib>
#include <glib.h>
#include <gtk/gtk.h>
#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/evtloop.h>
#include <wx/imagpng.h>
#include <wx/init.h>

#include "duilib/window_backend.h"

namespace DuiLib::display {

namespace {

class DisplayApp final : public wxApp {
public:
    bool OnInit() override { return true; }
};

// A connection to the X server held while wxWidgets opens its own: an X server resets when its
// last client leaves, and would refuse the next one for a moment.
struct XProbe {
    XProbe() {
        const char* name = std::getenv("DISPLAY");
        if (name != nullptr && *name != '\0')
            display = XOpenDisplay(nullptr);
    }
    ~XProbe() {
        if (display != nullptr)
            XCloseDisplay(display);
    }
    Display* display = nullptr;
};

// Asked before wxWidgets is touched, so that a failure leaves it clean for the headless
// fallback. GTK itself is left to wxWidgets, which keeps it from changing the process locale.
bool DisplayReachable(const XProbe& probe) {
    if (probe.display != nullptr)
        return true;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland == nullptr || *wayland == '\0')
        return false;
    gtk_disable_setlocale();
    return gtk_init_check(nullptr, nullptr);
}

} // namespace

bool EventPump::Start() {
    const XProbe probe;
    if (!DisplayReachable(probe))
        return false;
    // The launcher's own wxInitialize later finds this application and only counts a user.
    wxApp::SetInstance(new DisplayApp);
    if (!wxInitialize())
        return false;
    wxTheApp->SetExitOnFrameDelete(false);
    wxImage::AddHandler(new wxPNGHandler);
    loop_ = wxTheApp->GetTraits()->CreateEventLoop();
    wxEventLoopBase::SetActive(loop_);
    return true;
}

void EventPump::Stop() {
    if (loop_ == nullptr)
        return;
    wxEventLoopBase::SetActive(nullptr);
    delete loop_;
    loop_ = nullptr;
    wxUninitialize();
}

void EventPump::WaitForWork(std::chrono::milliseconds timeout) {
    if (loop_ == nullptr)
        return;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!woken_.exchange(false)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        loop_->DispatchTimeout(static_cast<unsigned long>(left.count()));
    }
}

void EventPump::Wake() {
    woken_.store(true);
    // One idle source at a time; it runs in whatever GTK loop iterates next, ours included.
    if (!pumpScheduled_.exchange(true))
        g_idle_add_full(G_PRIORITY_DEFAULT, &EventPump::RunPostedWork, this, nullptr);
    else
        g_main_context_wakeup(nullptr);
}

// UI thread, from the GTK main context.
int EventPump::RunPostedWork(void* pump) {
    static_cast<EventPump*>(pump)->pumpScheduled_.store(false);
    RunPendingWork();
    return G_SOURCE_REMOVE;
}

} // namespace DuiLib::display
