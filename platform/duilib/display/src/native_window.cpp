#include "native_window.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include <X11/extensions/shape.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <wx/dcclient.h>
#include <wx/graphics.h>
#include <wx/utils.h>

#include "display_backend.h"
#include "duilib/headless.h"
#include "duilib/window.h"
#include "duilib/window_backend.h"
#include "wx_renderer.h"

namespace DuiLib::display {

namespace {

long FrameStyle(bool owned) {
    const long style =
        wxBORDER_NONE | wxMINIMIZE_BOX | wxCLOSE_BOX | wxSYSTEM_MENU | wxCLIP_CHILDREN;
    return owned ? style | wxFRAME_FLOAT_ON_PARENT | wxFRAME_NO_TASKBAR : style;
}

// One row of pixels at a time: each row of a corner is inset to where the corner's ellipse
// (corner.cx by corner.cy) crosses the middle of that row.
cairo_region_t* RoundedRegion(const RECT& rect, SIZE corner) {
    cairo_region_t* region = cairo_region_create();
    const double rx = std::min(corner.cx, rect.right - rect.left) / 2.0;
    const double ry = std::min(corner.cy, rect.bottom - rect.top) / 2.0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        const double middle = y + 0.5;
        double dy = 0;
        if (middle < rect.top + ry)
            dy = rect.top + ry - middle;
        else if (middle > rect.bottom - ry)
            dy = middle - (rect.bottom - ry);
        const double t = dy / ry;
        const int inset =
            dy > 0 ? static_cast<int>(std::lround(rx - rx * std::sqrt(1 - t * t))) : 0;
        const cairo_rectangle_int_t row{rect.left + inset, y, rect.right - rect.left - 2 * inset,
                                        1};
        if (row.width > 0)
            cairo_region_union_rectangle(region, &row);
    }
    return region;
}

RECT RectOf(const wxRect& rect) {
    return RECT{rect.x, rect.y, rect.x + rect.width, rect.y + rect.height};
}

} // namespace

NativeWindow::NativeWindow(DisplayBackend& backend, HWND hwnd, wxWindow* owner,
                           const wxString& title, const RECT& screenRect)
    : wxFrame(owner, wxID_ANY, title, wxPoint(screenRect.left, screenRect.top),
              wxSize(screenRect.right - screenRect.left, screenRect.bottom - screenRect.top),
              FrameStyle(owner != nullptr)),
      backend_(backend), hwnd_(hwnd),
      canvas_(new wxWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                           wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE)) {
    canvas_->SetBackgroundStyle(wxBG_STYLE_PAINT);
    canvas_->Bind(wxEVT_PAINT, &NativeWindow::OnPaint, this);
    canvas_->Bind(wxEVT_LEFT_DOWN, &NativeWindow::OnLeftDown, this);
    canvas_->Bind(wxEVT_LEFT_UP, &NativeWindow::OnLeftUp, this);
    canvas_->Bind(wxEVT_LEFT_DCLICK, &NativeWindow::OnDoubleClick, this);
    canvas_->Bind(wxEVT_MOTION, &NativeWindow::OnMotion, this);
    canvas_->Bind(wxEVT_ENTER_WINDOW, &NativeWindow::OnMotion, this);
    canvas_->Bind(wxEVT_LEAVE_WINDOW, &NativeWindow::OnLeave, this);
    canvas_->Bind(wxEVT_MOUSE_CAPTURE_LOST, &NativeWindow::OnCaptureLost, this);
    Bind(wxEVT_CLOSE_WINDOW, &NativeWindow::OnCloseRequest, this);
    Bind(wxEVT_ICONIZE, &NativeWindow::OnIconize, this);
}

// The top-level window itself is shaped, which also clips the canvas and web views inside it.
// On X the shape goes to the server directly: GDK keeps a toplevel's shape to itself here.
void NativeWindow::SetRoundShape(const RECT& rect, SIZE corner) {
    GtkWidget* widget = GetHandle();
    gtk_widget_realize(widget);
    GdkWindow* window = gtk_widget_get_window(widget);
    const bool square = corner.cx <= 0 || corner.cy <= 0;
    if (window == nullptr || !GDK_IS_X11_WINDOW(window)) {
        cairo_region_t* region = square ? nullptr : RoundedRegion(rect, corner);
        gtk_widget_shape_combine_region(widget, region);
        if (region != nullptr)
            cairo_region_destroy(region);
        return;
    }
    ::Display* display = gdk_x11_display_get_xdisplay(gdk_window_get_display(window));
    const ::Window xid = gdk_x11_window_get_xid(window);
    if (square) {
        XShapeCombineMask(display, xid, ShapeBounding, 0, 0, None, ShapeSet);
        return;
    }
    cairo_region_t* region = RoundedRegion(rect, corner);
    std::vector<XRectangle> rows;
    for (int i = 0; i < cairo_region_num_rectangles(region); ++i) {
        cairo_rectangle_int_t row;
        cairo_region_get_rectangle(region, i, &row);
        rows.push_back(XRectangle{static_cast<short>(row.x), static_cast<short>(row.y),
                                  static_cast<unsigned short>(row.width),
                                  static_cast<unsigned short>(row.height)});
    }
    cairo_region_destroy(region);
    XShapeCombineRectangles(display, xid, ShapeBounding, 0, 0, rows.data(),
                            static_cast<int>(rows.size()), ShapeSet, Unsorted);
}

void NativeWindow::EndMouseCapture() {
    dragging_ = false;
    if (canvas_->HasCapture())
        canvas_->ReleaseMouse();
}

void NativeWindow::OnPaint(wxPaintEvent& /*event*/) {
    wxPaintDC dc(canvas_);
    std::unique_ptr<wxGraphicsContext> context(wxGraphicsContext::Create(dc));
    if (!context || !IsWindow(hwnd_))
        return;
    WxRenderer renderer(*context, backend_.Images());
    const wxRect dirty = canvas_->GetUpdateRegion().GetBox();
    NativePaint(hwnd_, renderer, RectOf(dirty));
}

bool NativeWindow::TakesInput() const {
    return IsWindow(hwnd_) && IsWindowVisible(hwnd_) && IsWindowEnabled(hwnd_);
}

bool NativeWindow::Activate() {
    // The core's record of the active window, kept the same way for every backend.
    if (Headless::ActiveWindow() == hwnd_)
        return true;
    SendMessage(hwnd_, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(hwnd_),
                MakePointParam(static_cast<int>(HTCLIENT), static_cast<int>(WM_LBUTTONDOWN)));
    if (!IsWindow(hwnd_))
        return false;
    NativeActivated(hwnd_);
    return true;
}

void NativeWindow::Send(UINT message, WPARAM keys, wxPoint clientPoint) {
    SendMessage(hwnd_, message, keys, MakePointParam(clientPoint.x, clientPoint.y));
}

void NativeWindow::OnLeftDown(wxMouseEvent& event) {
    if (!TakesInput() || !Activate())
        return;
    // The window decides by its hit test whether the press drags it.
    const wxPoint screen = canvas_->ClientToScreen(event.GetPosition());
    const LRESULT hit = SendMessage(hwnd_, WM_NCHITTEST, 0, MakePointParam(screen.x, screen.y));
    if (!IsWindow(hwnd_))
        return;
    if (!canvas_->HasCapture())
        canvas_->CaptureMouse();
    if (hit == HTCAPTION) {
        RECT rect;
        GetWindowRect(hwnd_, &rect);
        grab_ = screen - wxPoint(rect.left, rect.top);
        dragging_ = true;
        return;
    }
    Send(WM_LBUTTONDOWN, MK_LBUTTON, event.GetPosition());
}

void NativeWindow::OnLeftUp(wxMouseEvent& event) {
    const bool wasDragging = dragging_;
    EndMouseCapture();
    if (!wasDragging && IsWindow(hwnd_))
        Send(WM_LBUTTONUP, 0, event.GetPosition());
}

void NativeWindow::OnDoubleClick(wxMouseEvent& event) {
    if (TakesInput() && !dragging_)
        Send(WM_LBUTTONDBLCLK, MK_LBUTTON, event.GetPosition());
}

void NativeWindow::OnMotion(wxMouseEvent& event) {
    if (!IsWindow(hwnd_))
        return;
    if (dragging_) {
        // The core moves the record, this frame (SetBounds) and, through WM_MOVE, the children.
        // The pointer as it is now: queued motion is relative to where the frame was then.
        const wxPoint origin = wxGetMousePosition() - grab_;
        RECT rect;
        GetWindowRect(hwnd_, &rect);
        NativeBoundsChanged(hwnd_, RECT{origin.x, origin.y, origin.x + rect.right - rect.left,
                                        origin.y + rect.bottom - rect.top});
        return;
    }
    if (TakesInput())
        Send(WM_MOUSEMOVE, event.LeftIsDown() ? MK_LBUTTON : 0, event.GetPosition());
}

// A point outside every control ends the hover.
void NativeWindow::OnLeave(wxMouseEvent& /*event*/) {
    if (!dragging_ && !canvas_->HasCapture() && IsWindow(hwnd_))
        Send(WM_MOUSEMOVE, 0, wxPoint(-1, -1));
}

void NativeWindow::OnCaptureLost(wxMouseCaptureLostEvent& /*event*/) {
    dragging_ = false;
}

// The task bar minimised or restored the window: the record follows, as the system menu's
// commands would make it. A change the core made itself finds the record agreeing already.
void NativeWindow::OnIconize(wxIconizeEvent& event) {
    if (!IsWindow(hwnd_) || event.IsIconized() == IsIconic(hwnd_))
        return;
    SendMessage(hwnd_, WM_SYSCOMMAND, event.IsIconized() ? SC_MINIMIZE : SC_RESTORE, 0);
}

// The desktop's close request (a window manager's close box, Alt+F4) goes to the window as the
// system menu's close would; the window decides, and its destruction removes this frame.
void NativeWindow::OnCloseRequest(wxCloseEvent& event) {
    event.Veto();
    if (IsWindow(hwnd_))
        PostMessage(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
}

} // namespace DuiLib::display
