#pragma once
// The loops that run the UI thread's queue: the main loop, modal loops and non-blocking pumps.
// UI thread only.
#include "duilib/types.h"

namespace DuiLib::detail {

// The first caller becomes the UI thread; later calls change nothing.
void MarkUiThread();
// True once some thread became the UI thread; any thread.
bool IsUiThreadKnown();

// Runs until WM_QUIT; then the loop counts as ended for good. Returns the exit code.
int RunMainLoop();
// Runs until hwnd is destroyed. A WM_QUIT taken here ends the loop and is queued again for the
// loop outside. Returns false when it ended because of WM_QUIT.
bool RunModalLoop(HWND hwnd);
// Runs what is queued, without blocking; false when WM_QUIT was taken.
bool PumpPending();

} // namespace DuiLib::detail
