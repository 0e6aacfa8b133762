#pragma once
// Handing a launcher update over to the self-updater "launcherupdate.exe".
#include <optional>

#include <wx/string.h>

class LauncherFrameWnd;

// The self-updater's parameter string: a double quote, sourceDir, "*", programDir, and no
// closing quote. nullopt when either directory holds a double quote or a "*": the self-updater
// could not tell where one ends.
std::optional<wxString> SelfUpdateParameters(const wxString& sourceDir, const wxString& programDir);

// Starts the frame's SelfUpdaterPath with the parameter string of SelfUpdateSourceDir and
// InstancePath, then posts WM_QUIT to the main window so the launcher ends and the self-updater
// can replace it. True once handed over; false, logged, when the parameter string is refused.
// Update worker.
bool HandOverToSelfUpdater(LauncherFrameWnd& frame);
