// The main window's notifications: preparation on its first "windowinit", and its buttons.
#include <mutex>

#include "launcher/config/default_pages.h"
#include "launcher/config/settings_mutex.h"
#include "launcher/config/setup_config.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/ui/backdrop_wnd.h"
#include "launcher/ui/server_list_wnd.h"
#include "launcher/ui/update_wnd.h"
#include "system/modules.h"
#include "system/shell.h"

using namespace DuiLib;

namespace {

// Where the settings backdrop opens, from the main window's top-left corner, per screen mode;
// modes 1 and 2 also size its client area (mode 0 keeps the skin's size). It ends where the web
// panels' frames end on the right and at the bottom, so it dims the panels and nothing beside
// or below them.
struct BackdropPlacement {
    int x;
    int y;
    int width;
    int height;
};
constexpr BackdropPlacement BackdropPlacements[3] = {
    {190, 200, 0, 0}, {180, 180, 606, 359}, {130, 140, 496, 307}};

void OpenPage(const wxString& url) {
    platform::ShellOpen(url.ToStdWstring(), L"", L"");
}

// The registration window belongs to its module, which is loaded for each click and freed as
// soon as the call returns.
void OpenRegistration() {
    platform::ModuleHandle module = platform::LoadModule(L"Register.dll");
    if (module == nullptr)
        return;
    using CreateRegisterWindowFn = int (*)(int);
    if (auto create = reinterpret_cast<CreateRegisterWindowFn>(
            platform::FindModuleSymbol(module, "CreateRegisterWindow")))
        create(0);
    platform::FreeModule(module);
}

// UI thread. Returns when the backdrop (and the dialog on it) has closed.
void OpenGameSettings(LauncherFrameWnd& frame) {
    auto* backdrop = new UIBackGroundWnd();
    backdrop->frame = &frame;
    RECT rc;
    GetWindowRect(frame.GetHWND(), &rc);
    const int mode =
        frame.ScreenSizeMode >= 0 && frame.ScreenSizeMode <= 2 ? frame.ScreenSizeMode : 0;
    const BackdropPlacement& place = BackdropPlacements[mode];
    // A window whose creation failed has been freed by its own final message.
    if (backdrop->Create(frame.GetHWND(), L"", UI_WNDSTYLE_DIALOG, 0, rc.left + place.x,
                         rc.top + place.y, 0, 0) == nullptr)
        return;
    if (place.width != 0)
        backdrop->ResizeClient(place.width, place.height);
    backdrop->ShowModal();
}

// UI thread. While a patch is pending the game may not start; otherwise the chosen server,
// else the one saved by an earlier run, else the first server of the first area is used.
void EnterGame(LauncherFrameWnd& frame) {
    if (frame.UpdateNeeded) {
        if (frame.EnterGameBtn != nullptr)
            frame.EnterGameBtn->SetEnabled(false);
        DuiLib::MessageBox(frame.GetHWND(), L"游戏正在连接服务器，请稍候！", L"提示", MB_OK);
        return;
    }
    SetupConfig* setup = SetupConfig::Instance();
    {
        std::lock_guard<std::mutex> selected(SelectedServerMutex);
        std::lock_guard<std::recursive_mutex> settings(SettingsMutex());
        if (!SelectedServerAddr.IsEmpty()) {
            setup->ServerAddr = SelectedServerAddr.GetData();
            setup->ServerPort = SelectedServerPort.GetData();
            setup->ChargeUrl = SelectedServerChargeIp.GetData();
        } else if (setup->ServerAddr.empty()) {
            UIUpdateWnd* updateWnd = frame.UpdateWnd.load();
            const ServerInfo* first = updateWnd != nullptr ? updateWnd->FirstServer() : nullptr;
            if (first == nullptr)
                return;
            setup->ServerAddr = first->address.Wide().GetData();
            setup->ServerPort = first->port.Wide().GetData();
            setup->ChargeUrl = first->chargeIp.Wide().GetData();
        }
    }
    frame.StartGame();
}

} // namespace

void LauncherFrameWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == L"windowinit") {
        OnPrepare();
        return;
    }
    if (msg.sType != L"click")
        return;
    if (ServerListWnd != nullptr)
        ServerListWnd->CloseDropDown();
    CControlUI* sender = msg.pSender;
    if (sender == nullptr)
        return;
    if (sender == CloseBtn)
        PostQuitMessage(0);
    else if (sender == MinBtn)
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (sender == WebBtn)
        OpenPage(WebsiteUrl);
    else if (sender == RechargeBtn)
        OpenPage(RechargeUrl);
    else if (sender == ForumBtn)
        OpenPage(BBSUrl);
    else if (sender == CustServiceBtn)
        OpenPage(default_pages::kCustomerService);
    else if (sender == RegisterBtn)
        OpenRegistration();
    else if (sender == GameSetBtn)
        OpenGameSettings(*this);
    else if (sender == EnterGameBtn)
        EnterGame(*this);
}
