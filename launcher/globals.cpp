#include "launcher/globals.h"

#include "launcher/ui/server_model.h"
#include "system/ticks.h"

std::atomic<LauncherFrameWnd*> TheLauncherFrame{nullptr};
std::atomic<uint32_t> ConnectTick{platform::GetTickCount()};

DuiLib::CStdString SelectedServerAddr;
DuiLib::CStdString SelectedServerPort;
DuiLib::CStdString SelectedServerChargeIp;
DuiLib::CStdString SelectedServerSid;
std::mutex SelectedServerMutex;

ServerChoice SelectedServer() {
    std::lock_guard lock(SelectedServerMutex);
    return {SelectedServerAddr, SelectedServerPort, SelectedServerChargeIp, SelectedServerSid};
}

void SetSelectedServer(const ServerChoice& choice) {
    std::lock_guard lock(SelectedServerMutex);
    SelectedServerAddr = choice.address;
    SelectedServerPort = choice.port;
    SelectedServerChargeIp = choice.chargeIp;
    SelectedServerSid = choice.sid;
}

std::atomic<MiniDumper*> RegisteredDumper{nullptr};
