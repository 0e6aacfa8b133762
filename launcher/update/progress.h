#pragma once
// The update window's progress display, and the install counters behind it.
#include <cstdint>

#include <wx/string.h>

class LauncherFrameWnd;

// Moves the update window's progress display, if the main window and its update window exist.
// Safe from any thread: the update is handed to the UI thread.
void ShowUpdateProgress(float percent);

// The frame's install counters are 64-bit, as packages may hold files past 4 GiB. Both run on
// the thread that installs (the update worker).
//
// Sets InstallTotal to the bytes of the regular files below dir (links are not followed) and
// InstallDone to 0. False, with both 0, when dir cannot be walked; an empty dir counts 0.
bool StartInstallCount(LauncherFrameWnd& frame, const wxString& dir);
// Adds installed bytes to InstallDone (it stops at its largest value) and shows the share done;
// with a total of 0 there is nothing left to do, which shows as 100.
void AddInstalled(LauncherFrameWnd& frame, uint64_t bytes);
