// The frame's addresses: first from "zel.ini" and the built-in pages, then overridden by
// "Do.ini" and "web.ini". Runs once on the UI thread inside the window's initialisation.
#include <mutex>

#include "launcher/config/default_pages.h"
#include "launcher/config/settings_mutex.h"
#include "launcher/config/setup_config.h"
#include "launcher/launcher.h"

void LauncherFrameWnd::InitUrls() {
    {
        std::lock_guard lock(SettingsMutex());
        const SetupConfig& setup = *SetupConfig::Instance();
        ServerListUrl1 = setup.ServerListUrl;
        ServerListUrl2 = setup.ServerListUrl2;
        UpdateVersionUrl1 = setup.NewUpdateVersionUrl1;
        UpdateVersionUrl2 = setup.NewUpdateVersionUrl2;
        WeiServer = setup.WeiServer;
        WeiServer2 = setup.WeiServer2;
    }
    WebsiteUrl = default_pages::kWebsite;
    RechargeUrl = default_pages::kRecharge;
    RegisterUrl = default_pages::kRegister;
    BBSUrl = default_pages::kForum;
    Web404Url = default_pages::kWeb404;
    TopUrl = default_pages::kTop;
    LeftUrl = default_pages::kLeft;
    RightUrl = default_pages::kRight;
    Top600Url = default_pages::kTop600;
    Left600Url = default_pages::kLeft600;
    Right600Url = default_pages::kRight600;
}
