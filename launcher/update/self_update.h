#pragma once
// Handing a launcher update over to the self-updater "launcherupdate.exe", and what an update
// that ends without it leaves in "temp".
#include <optional>

#include <wx/string.h>

class LauncherFrameWnd;

// The self-updater's parameter string: a double quote, sourceDir, "*", programDir, and no
// closing quote. nullopt when either directory holds a double quote or a "*": the self-updater
// could not tell where one ends.
std::optional<wxString> SelfUpdateParameters(const wxString& sourceDir, const wxString& programDir);

// Writes "version.ini" with these versions into the frame's SelfUpdateSourceDir: a copy of the
// installed one (its other lines kept) that the self-updater puts in place last, once every
// launcher file is in. False, logged, when it cannot be written. Update worker.
bool StageSelfUpdateVersions(LauncherFrameWnd& frame, const wxString& version,
                             const wxString& lversion);

// Starts the frame's SelfUpdaterPath with the parameter string of SelfUpdateSourceDir and
// InstancePath, then posts WM_QUIT to the main window so the launcher ends and the self-updater
// can replace it. True once handed over; false, logged, when the parameter string is refused.
// Update worker.
bool HandOverToSelfUpdater(LauncherFrameWnd& frame);

// Removes what an update that failed, was refused or gave up left in the program directory's
// "temp" (packages, unpacked directories), except the directory a pending self-update still
// copies from when keepSelfUpdate is set. Update worker.
void ClearUpdateLeftovers(LauncherFrameWnd& frame, bool keepSelfUpdate = true);
