// The baseline: a bare wxWidgets frame of the main window's size, started as the launcher is.
#include <wx/wx.h>

class BareFrameApp : public wxApp {
public:
    bool OnInit() override {
        auto* frame = new wxFrame(nullptr, wxID_ANY, "bare", wxDefaultPosition, wxSize(820, 680),
                                  wxBORDER_NONE);
        frame->Centre();
        frame->Show();
        return true;
    }
};

wxIMPLEMENT_APP(BareFrameApp);
