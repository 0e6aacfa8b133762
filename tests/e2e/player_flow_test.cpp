// The whole start as a player sees it, through the launcher's entry on the headless backend: a
// cached list on screen, a fresher one from the local server replacing it, the saved server
// picked, a server chosen in the drop-down, and the game client started with "ws".
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "duilib/ui_thread.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/ui/server_list_wnd.h"
#include "launcher/ui/update_wnd.h"
#include "launcher/winmain.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"

namespace fs = std::filesystem;
using namespace DuiLib;
using namespace testing_support;

namespace {

const std::string CachedList = "<tavi><area name=\"Old\"><server sid=\"5\" name=\"Gone\" "
                               "address=\"10.5.5.5\" port=\"1\" chargeIp=\"c\"/></area></tavi>";
const std::string FreshList =
    "<tavi><area pid=\"1\" name=\"A\">"
    "<server sid=\"11\" name=\"East\" address=\"10.0.0.1\" port=\"7001\" chargeIp=\"c1\"/>"
    "</area><area pid=\"2\" name=\"B\">"
    "<server sid=\"22\" name=\"North\" address=\"10.0.0.2\" port=\"7002\" chargeIp=\"c2\"/>"
    "<server sid=\"23\" name=\"South\" address=\"10.0.0.4\" port=\"7004\" chargeIp=\"c4\"/>"
    "</area></tavi>";

// Runs fn on the UI thread once the main window is prepared and cond holds there, polling.
bool WhenOnUiThread(const std::function<bool(LauncherFrameWnd&)>& cond) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        bool held = false;
        PostAndWait([&] {
            LauncherFrameWnd* frame = TheLauncherFrame.load();
            held = frame != nullptr && frame->WindowPrepared && cond(*frame);
        });
        if (held)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

} // namespace

TEST(PlayerFlow, FreshListReplacesTheCacheAndTheChosenServerGoesToTheGame) {
    setenv("LAUNCHER_SCREEN", "1024x768", 1);
    TempDir site;
    WriteFile(site / "list.xml", FreshList);
    TestServer server(site.path());
    TempDir dir;
    fs::copy_file(BinDir() / "bt.dat", dir / "bt.dat");
    fs::copy_file(BinDir() / "zel.exe", dir / "zel.exe");
    WriteFile(dir / "ServerList.xml", CachedList);
    WriteFile(dir / "zel.ini",
              "[Setup]\nServerListUrl=" + server.Url("/list.xml") + "\nServerSid=22\n");

    std::atomic<bool> freshShown{false};
    std::thread player([&] {
        // The fresh list arrives: the saved server of area 1 is picked.
        freshShown = WhenOnUiThread([](LauncherFrameWnd& frame) {
            UIUpdateWnd* update = frame.UpdateWnd.load();
            return update != nullptr && update->Areas.size() == 2 &&
                   update->ServerBtn->GetText() == L"North";
        });
        // The player opens area 1, picks "South" and enters the game.
        WhenOnUiThread([](LauncherFrameWnd& frame) {
            UIUpdateWnd* update = frame.UpdateWnd.load();
            Headless::Click(update->GetHWND(), L"DServer");
            Headless::Click(update->GetHWND(), L"ServerBtn");
            CListUI* list = frame.ServerListWnd->List;
            const RECT rc = list->GetItemAt(1)->GetPos();
            const POINT centre{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
            Headless::SendMouse(frame.ServerListWnd->GetHWND(), WM_LBUTTONDOWN, centre);
            Headless::SendMouse(frame.ServerListWnd->GetHWND(), WM_LBUTTONUP, centre);
            return Headless::Click(frame.GetHWND(), L"EnterGameBtn");
        });
    });
    EXPECT_EQ(WinMain(dir.wide().c_str(), nullptr, "", 0), 0);
    player.join();

    EXPECT_TRUE(freshShown);
    EXPECT_EQ(ReadFile(dir / "ServerList.xml"), FreshList);
    EXPECT_FALSE(fs::exists(dir / "ServerListTemp.xml"));
    EXPECT_EQ(server.CountRequests("/list.xml"), 1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(dir / "zel-started.log") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::string started = ReadFile(dir / "zel-started.log");
    EXPECT_EQ(started.substr(0, started.find(" cwd=")), "args=[\"ws\"]");
    EXPECT_NE(started.find("ServerAddr=\"10.0.0.4\" ServerPort=\"7004\" ChargeUrl=\"c4\" "
                           "ServerSid=\"23\"\n"),
              std::string::npos)
        << started;
    EXPECT_EQ(ReadFile(dir / "run.log"), "");
}

TEST(PlayerFlow, CloseWhileTheListServerHangsEndsTheLauncherAndKeepsTheCache) {
    setenv("LAUNCHER_SCREEN", "1024x768", 1);
    TempDir site;
    TestServer server(site.path(), {"/list.xml=stall"});
    TempDir dir;
    fs::copy_file(BinDir() / "bt.dat", dir / "bt.dat");
    WriteFile(dir / "ServerList.xml", CachedList);
    WriteFile(dir / "zel.ini", "[Setup]\nServerListUrl=" + server.Url("/list.xml") + "\n");

    std::thread player([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (server.CountRequests("/list.xml") == 0 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        WhenOnUiThread(
            [](LauncherFrameWnd& frame) { return Headless::Click(frame.GetHWND(), L"CloseBtn"); });
    });
    EXPECT_EQ(WinMain(dir.wide().c_str(), nullptr, "", 0), 0);
    player.join();
    // The stalled transfer was abandoned, not waited out: one request, the cache as it was.
    EXPECT_EQ(server.CountRequests("/list.xml"), 1);
    EXPECT_EQ(ReadFile(dir / "ServerList.xml"), CachedList);
    EXPECT_FALSE(fs::exists(dir / "ServerListTemp.xml"));
    EXPECT_FALSE(fs::exists(dir / "ServerListTemp.xml.part"));
}
