#pragma once
// What the workers (server list, update) and the live-update callbacks change on screen. Each
// runs on the calling thread (a worker) and hands the change to the UI thread, waiting for it;
// once the message loop has ended nothing is changed. The frame and its windows are looked up
// again on the UI thread, so a window already released is skipped.
#include <wx/string.h>

// Enables or disables "EnterGameBtn".
void SetEnterGameEnabled(bool enabled);
// Enables "EnterGameBtn" when all four selected-server values are set, else disables it.
void EnableEnterGameForChosenServer();
// The whole update display at its end ("100%", the bar full, its marker at the end): shown when
// the server answered and no patch is needed; a patch's own progress starts from where it is.
void ShowUpdateServerAnswered();
// The update window's "CurVersionTxt".
void ShowCurrentVersion(const wxString& text);
// The network-help message box; returns once it was closed or the loop ended.
void ShowNetworkHelp();

// The text of the network-help message box.
extern const wchar_t NetworkHelpMessage[];
