#pragma once
// Choosing the backend that gives windows their native side. Headless: windows are records, the
// message loop is our own queue, input is injected by tests. Display: real windows (a separate
// library registers itself through RegisterDisplayBackend).
#include <functional>
#include <memory>

namespace DuiLib {

enum class BackendKind { Headless, Display };

class WindowBackend; // the seam, declared in duilib/window_backend.h

// LAUNCHER_BACKEND=headless|display forces a backend; otherwise Display when a display backend
// is registered and $DISPLAY or $WAYLAND_DISPLAY is set, else Headless. A display backend that
// cannot start falls back to Headless with a note on stderr. Call once, on the thread that
// becomes the UI thread, before the first window is created (the first window starts it
// otherwise); later calls return the active kind.
// Headless installs a platform::DisplayProvider (LAUNCHER_SCREEN, depth cannot change; a test
// wanting its own provider sets it afterwards) and SIGTERM/SIGINT handling: while the message
// loop runs, the signal closes the first top-level window with WM_SYSCOMMAND SC_CLOSE, or
// posts WM_QUIT when there is none; one that came before the loop ends the loop as soon as it
// starts, with nothing queued run; after the loop it has its default effect again.
BackendKind InitBackend();
BackendKind ActiveBackend();
// Once at process end, on the UI thread, after the message loop and the last window; no backend
// call may follow. The backend object itself stays: a worker may still wake the UI thread.
void StopBackend();

// The display backend library calls this before InitBackend (for example from main).
void RegisterDisplayBackend(std::function<std::unique_ptr<WindowBackend>()> factory);

} // namespace DuiLib
