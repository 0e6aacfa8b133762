#pragma once
// Moves the update window's progress display, if the main window and its update window exist.
// Safe from any thread: the update is handed to the UI thread.
void ShowUpdateProgress(float percent);
