#pragma once
// The "IE" control's browser on the display: a wxWebView (WebKitGTK) child of the window's
// canvas. UI thread only.
#include <memory>

#include <wx/window.h>

#include "duilib/window_backend.h"

namespace DuiLib::display {

// Null when no web view can be made (no web engine installed); the panel then stays blank.
std::unique_ptr<EmbeddedBrowser> MakeWebBrowser(wxWindow* canvas);

} // namespace DuiLib::display
