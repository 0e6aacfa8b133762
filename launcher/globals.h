#pragma once
// Process-wide values shared by the UI thread, the workers and the live-update callbacks.
#include <atomic>
#include <cstdint>
#include <mutex>

#include <wx/string.h>

#include "duilib/std_string.h"

class LauncherFrameWnd;
class MiniDumper;
struct ServerChoice;

// The one main window; null before it is constructed and after it is destroyed.
extern std::atomic<LauncherFrameWnd*> TheLauncherFrame;

// Start of the update worker's second time limit.
extern std::atomic<uint32_t> ConnectTick;

// The chosen server; a server counts as chosen only when all four are non-empty. Read and
// written under SelectedServerMutex when off the UI thread.
extern DuiLib::CStdString SelectedServerAddr;
extern DuiLib::CStdString SelectedServerPort;
extern DuiLib::CStdString SelectedServerChargeIp;
extern DuiLib::CStdString SelectedServerSid;
extern std::mutex SelectedServerMutex;
// The four values together, taken or set under SelectedServerMutex (ui/server_model.h).
ServerChoice SelectedServer();
void SetSelectedServer(const ServerChoice& choice);

// The registered crash filter, null until WinMain registers one.
extern std::atomic<MiniDumper*> RegisteredDumper;
