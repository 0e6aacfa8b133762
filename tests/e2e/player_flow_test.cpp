// The whole start as a player sees it, through the launcher's entry on the headless backend: a
// cached list on screen, a fresher one from the local server replacing it, the saved server
// picked, a server chosen in the drop-down, and the game client started with "ws".
#include <atomic>
#include <functional>

#include <gtest/gtest.h>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "duilib/ui_thread.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/ui/server_list_wnd.h"
#include "launcher/ui/update_wnd.h"
#include "tests/e2e/run_until_prepared.h"
#include "tests/e2e/two_area_list.h"
#include "tests/support/client_start_log.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"
#include "tests/support/wait_for.h"

namespace fs = std::filesystem;
using namespace DuiLib;
using namespace testing_support;

namespace {

const std::string CachedList = "<tavi><area name=\"Old\"><server sid=\"5\" name=\"Gone\" "
                               "address=\"10.5.5.5\" port=\"1\" chargeIp=\"c\"/></area></tavi>";

// Whether cond came to hold on the UI thread, with the main window prepared, within 20 s.
bool WhenOnUiThread(const std::function<bool(LauncherFrameWnd&)>& cond) {
    return WaitFor(
        [&] {
            bool held = false;
            PostAndWait([&] {
                LauncherFrameWnd* frame = TheLauncherFrame.load();
                held = frame != nullptr && frame->WindowPrepared && cond(*frame);
            });
            return held;
        },
        20000);
}

// Runs WinMain from a program directory with the cached list and zel.ini's "[Setup]" lines,
// while player plays on its own thread.
void RunWithPlayer(const TempDir& dir, const std::string& setup,
                   const std::function<void()>& player) {
    WriteFile(dir / "ServerList.xml", CachedList);
    WriteFile(dir / "zel.ini", "[Setup]\n" + setup);
    RunWinMain(dir, [&](const std::atomic<bool>&) { player(); });
}

} // namespace

TEST(PlayerFlow, FreshListReplacesTheCacheAndTheChosenServerGoesToTheGame) {
    TempDir site;
    WriteFile(site / "list.xml", kTwoAreaList);
    TestServer server(site.path());
    TempDir dir;
    fs::copy_file(BinDir() / "zel.exe", dir / "zel.exe");
    std::atomic<bool> freshShown{false};
    RunWithPlayer(dir, "ServerListUrl=" + server.Url("/list.xml") + "\nServerSid=22\n", [&] {
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
            const RECT rc = frame.ServerListWnd->List->GetItemAt(1)->GetPos();
            const POINT centre{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
            Headless::SendMouse(frame.ServerListWnd->GetHWND(), WM_LBUTTONDOWN, centre);
            Headless::SendMouse(frame.ServerListWnd->GetHWND(), WM_LBUTTONUP, centre);
            return Headless::Click(frame.GetHWND(), L"EnterGameBtn");
        });
    });

    EXPECT_TRUE(freshShown);
    EXPECT_EQ(ReadFile(dir / "ServerList.xml"), kTwoAreaList);
    EXPECT_FALSE(fs::exists(dir / "ServerListTemp.xml"));
    EXPECT_EQ(server.CountRequests("/list.xml"), 1);
    const std::string started = WaitForClientStartLine(dir.path());
    EXPECT_NE(started.find("ServerAddr=\"10.0.0.4\" ServerPort=\"7004\" ChargeUrl=\"c4\" "
                           "ServerSid=\"23\"\n"),
              std::string::npos)
        << started;
    EXPECT_EQ(ReadFile(dir / "run.log"), "");
}

TEST(PlayerFlow, CloseWhileTheListServerHangsEndsTheLauncherAndKeepsTheCache) {
    TempDir site;
    TestServer server(site.path(), {"/list.xml=stall"});
    TempDir dir;
    RunWithPlayer(dir, "ServerListUrl=" + server.Url("/list.xml") + "\n", [&] {
        WaitFor([&] { return server.CountRequests("/list.xml") > 0; }, 20000);
        WhenOnUiThread(
            [](LauncherFrameWnd& frame) { return Headless::Click(frame.GetHWND(), L"CloseBtn"); });
    });
    // The stalled transfer was abandoned, not waited out: one request, the cache as it was.
    EXPECT_EQ(server.CountRequests("/list.xml"), 1);
    EXPECT_EQ(ReadFile(dir / "ServerList.xml"), CachedList);
    EXPECT_FALSE(fs::exists(dir / "ServerListTemp.xml"));
    EXPECT_FALSE(fs::exists(dir / "ServerListTemp.xml.part"));
}
