#include "launcher/globals.h"

#include "system/ticks.h"

std::atomic<LauncherFrameWnd*> TheLauncherFrame{nullptr};
std::atomic<uint32_t> ConnectTick{platform::GetTickCount()};

DuiLib::CStdString SelectedServerAddr;
DuiLib::CStdString SelectedServerPort;
DuiLib::CStdString SelectedServerChargeIp;
DuiLib::CStdString SelectedServerSid;
std::mutex SelectedServerMutex;

std::atomic<MiniDumper*> RegisteredDumper{nullptr};
