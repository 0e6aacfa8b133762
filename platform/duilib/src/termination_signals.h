#pragma once
// SIGTERM and SIGINT for runs without a display: the handler only records the request, and the
// message loop turns it into a close of the main window on its next pass. A request made before
// the main loop runs ends that loop as soon as it starts.

namespace DuiLib::detail {

// Installs the handlers once; later calls do nothing.
void InstallTerminationHandlers();
// True once per received signal (UI thread).
bool TakeTerminationRequest();
// After the message loop ended nobody would answer a request, so a later signal gets the
// default action again.
void TerminationHandlersLoopEnded();

} // namespace DuiLib::detail
