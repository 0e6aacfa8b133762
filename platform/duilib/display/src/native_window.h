#pragma once
// The native side of one DuiLib window: a borderless top-level frame whose single canvas the
// paint manager paints and whose mouse input becomes the window's messages. UI thread only.
#include <wx/frame.h>

#include "duilib/types.h"

namespace DuiLib::display {

class DisplayBackend;

class NativeWindow final : public wxFrame {
public:
    // owner null: a window of its own on the task bar; else it floats over its owner.
    NativeWindow(DisplayBackend& backend, HWND hwnd, wxWindow* owner, const wxString& title,
                 const RECT& screenRect);

    HWND Handle() const { return hwnd_; }
    wxWindow* Canvas() const { return canvas_; }
    // rect in window coordinates; corner (0, 0) makes the window square again.
    void SetRoundShape(const RECT& rect, SIZE corner);
    // Before the frame goes: a drag or a press in progress lets go of the mouse.
    void EndMouseCapture();

private:
    void OnPaint(wxPaintEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnDoubleClick(wxMouseEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnCloseRequest(wxCloseEvent& event);
    void OnIconize(wxIconizeEvent& event);

    // False when the window takes no input now (gone, hidden or disabled).
    bool TakesInput() const;
    // The first press on an inactive window activates it, as a desktop does.
    bool Activate();
    void Send(UINT message, WPARAM keys, wxPoint clientPoint);

    DisplayBackend& backend_; // lives as long as the process
    HWND hwnd_;
    wxWindow* canvas_;
    bool dragging_ = false;
    wxPoint grab_; // pointer minus window origin when the drag began
};

} // namespace DuiLib::display
