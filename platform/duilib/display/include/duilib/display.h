#pragma once
// The display backend: every window a borderless top-level wxWidgets GTK window, "IE" controls
// web views. Registering makes it the backend InitBackend picks when a display is there.
namespace DuiLib {

// Call before InitBackend, on the thread that becomes the UI thread.
void RegisterWxDisplayBackend();

} // namespace DuiLib
