// The real launcher executable on its own Xvfb: its windows where the layout table puts them in
// each screen mode, the skin's pixels and a web panel's page on the screen, a player's clicks
// through the X server's pointer, and its end while its web views misbehave.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <wx/image.h>
#include <wx/init.h>

#include "tests/e2e/launcher_process.h"
#include "tests/e2e/two_area_list.h"
#include "tests/platform/duilib/display/screen_pixels.h"
#include "tests/support/client_start_log.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"
#include "tests/support/wait_for.h"

namespace fs = std::filesystem;
using namespace display_test;
using namespace testing_support;

namespace {

// The left panel's page: one flat colour the screenshot can find.
const std::string LeftPage = "<html><head><title>left</title></head>"
                             "<body style=\"margin:0;background:#3CB371\"></body></html>";

struct ScreenMode {
    const char* screen; // Xvfb's screen
    Rect main;          // where the main window is centred, with its skin's size
    int offsets[5][2];  // the layout table: news, news2, top, update, server list
};

const ScreenMode Modes[] = {
    {"1024x768x24",
     {102, 44, 820, 680},
     {{199, 323}, {499, 323}, {189, 197}, {106, 580}, {566, 280}}},
    {"1280x720x24",
     {240, 37, 800, 645},
     {{186, 286}, {492, 286}, {190, 186}, {105, 545}, {567, 480}}},
    {"800x600x24", {75, 25, 650, 550}, {{132, 236}, {383, 236}, {128, 148}, {70, 453}, {420, 480}}},
};

// The visible top-level windows of a process, as the X server has them.
std::vector<Rect> VisibleWindows(pid_t pid) {
    std::vector<Rect> windows;
    std::istringstream ids(Xdotool("search --onlyvisible --pid " + std::to_string(pid)).output);
    for (std::string id; ids >> id;) {
        const Rect rect = WindowGeometry(id);
        // GTK's own 10 x 10 leader window is never mapped; a 1 x 1 one may be.
        if (rect.width > 1)
            windows.push_back(rect);
    }
    return windows;
}

std::optional<Rect> WindowAt(const std::vector<Rect>& windows, int x, int y) {
    for (const Rect& rect : windows)
        if (rect.x == x && rect.y == y)
            return rect;
    return std::nullopt;
}

std::optional<Rect> WindowOfWidth(pid_t pid, int width) {
    for (const Rect& rect : VisibleWindows(pid))
        if (rect.width == width)
            return rect;
    return std::nullopt;
}

wxImage LoadPng(const fs::path& file) {
    wxImage image;
    image.LoadFile(file.string(), wxBITMAP_TYPE_PNG);
    return image;
}

testing::AssertionResult ColourNear(const wxImage& screen, int x, int y, uint32_t rgb) {
    return Near(RgbAt(screen, x, y), rgb, 6);
}

class DisplayLauncher : public testing::TestWithParam<int> {
protected:
    void SetUp() override {
        if (!display_test::XSession::Installed())
            GTEST_SKIP() << "Xvfb or xdotool is not installed (scripts/bootstrap installs both)";
        wxImage::AddHandler(new wxPNGHandler);
        std::string why;
        ASSERT_TRUE(x_.Start(&why, Modes[GetParam()].screen)) << why;
        WriteFile(site_ / "list.xml", kTwoAreaList);
        WriteFile(site_ / "left.html", LeftPage);
        server_ = std::make_unique<TestServer>(site_.path());
        for (const char* file : {"launcher", "bt.dat", "zel.exe"})
            fs::copy_file(BinDir() / file, dir_ / file);
        WriteFile(dir_ / "ServerList.xml", kTwoAreaList);
        WriteFile(dir_ / "zel.ini", "[Setup]\nServerListUrl=" + server_->Url("/list.xml") + "\n");
        // The other panels name a port nothing listens on: a page that cannot be loaded.
        WriteFile(dir_ / "web.ini", "[Web]\nLeftUrl=" + server_->Url("/left.html") +
                                        "\nRightUrl=http://127.0.0.1:9/right.html"
                                        "\nTopUrl=http://127.0.0.1:9/top.html\n");
    }

    // Starts the launcher and waits until its main window and panels are mapped.
    bool Start() {
        launcher_.emplace(
            dir_.path(), LaunchOptions{.backend = "display", .standardError = dir_ / "stderr.txt"});
        pid_ = launcher_->pid();
        return WaitFor([&] { return VisibleWindows(pid_).size() >= 5; }, 20000);
    }

    std::optional<int> WaitForExit(int timeoutMs = kExitTimeoutMs) {
        return launcher_->WaitForExit(timeoutMs);
    }

    // Clicks at x, y until done holds: a busy X server may drop a click that comes right after
    // a window appeared. Whether done came to hold.
    static bool ClickUntil(int x, int y, const std::function<bool()>& done) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            ClickAt(x, y);
            if (WaitFor(done, 3000))
                return true;
        }
        return false;
    }

    void ExpectTheCloseBoxEndsTheLauncherAtOnce() {
        // The close box: 30 x 28, 8 px from the main window's top right corner in every mode.
        const Rect& main = Modes[GetParam()].main;
        std::optional<int> exitCode;
        ClickUntil(main.x + main.width - 23, main.y + 22,
                   [&] { return (exitCode = WaitForExit(0)).has_value(); });
        // Bounded, not timed: a launcher that waited for a hanging page would never end.
        EXPECT_EQ(exitCode ? exitCode : WaitForExit(), 0);
    }

    // The screen point of a point of the child window in layout slot `slot`.
    std::pair<int, int> InSlot(int slot, int x, int y) const {
        const ScreenMode& mode = Modes[GetParam()];
        return {mode.main.x + mode.offsets[slot][0] + x, mode.main.y + mode.offsets[slot][1] + y};
    }

    wxInitializer wx_;
    display_test::XSession x_;
    TempDir site_;
    TempDir dir_;
    std::unique_ptr<TestServer> server_;
    std::optional<LauncherProcess> launcher_; // ended first, before its X server
    pid_t pid_ = -1;
};

TEST_P(DisplayLauncher, WindowsSitAtTheLayoutTablesPlacesAndTheCloseBoxEndsTheLauncher) {
    ASSERT_TRUE(Start());
    const ScreenMode& mode = Modes[GetParam()];
    // The main window and four panels; the drop-down waits hidden until the server button opens it.
    // A query of a busy X server may come back empty: the list is the first one that is whole.
    std::vector<Rect> windows;
    WaitFor([&] { return (windows = VisibleWindows(pid_)).size() >= 5; }, 20000);
    EXPECT_EQ(windows.size(), 5u) << testing::PrintToString(windows) << "\n"
                                  << ReadFile(dir_ / "run.log");
    EXPECT_EQ(WindowAt(windows, mode.main.x, mode.main.y), mode.main);
    for (int slot = 0; slot < 4; ++slot) {
        const auto [x, y] = InSlot(slot, 0, 0);
        EXPECT_TRUE(WindowAt(windows, x, y)) << slot;
    }

    ExpectTheCloseBoxEndsTheLauncherAtOnce();
    EXPECT_TRUE(VisibleWindows(pid_).empty());
}

INSTANTIATE_TEST_SUITE_P(EachScreenMode, DisplayLauncher, testing::Values(0, 1, 2));

using DisplayLauncherAt1024 = DisplayLauncher;

TEST_P(DisplayLauncherAt1024, ScreenShowsTheSkinsLogoProgressBarAndButtonAndTheLeftPage) {
    ASSERT_TRUE(Start());
    const Rect main = Modes[0].main;
    const fs::path skin = LAUNCHER_SKIN_DIR;
    // The page loads in the web view's own process: wait for its colour.
    wxImage screen;
    const auto [leftX, leftY] = InSlot(0, 100, 100);
    const auto [trackX, trackY] = InSlot(3, 400, 21);
    WaitFor(
        [&] {
            screen = Screenshot(dir_ / "screen.png");
            return screen.IsOk() && ColourNear(screen, leftX, leftY, 0x3CB371) &&
                   ColourNear(screen, trackX, trackY, 0xE0A526);
        },
        15000);
    ASSERT_TRUE(screen.IsOk());
    EXPECT_TRUE(ColourNear(screen, leftX, leftY, 0x3CB371));

    // Two opaque pixels of the logo at (290, 10), a dark and a light one: where each control's
    // image lands is the display backend's test, here that the skin's logo is shown at all.
    const wxImage logo = LoadPng(skin / "Tavi.png");
    EXPECT_TRUE(ColourNear(screen, main.x + 290 + 28, main.y + 10 + 41, RgbAt(logo, 28, 41)));
    EXPECT_TRUE(ColourNear(screen, main.x + 290 + 46, main.y + 10 + 80, RgbAt(logo, 46, 80)));
    // Without a live-update module there is nothing to update through: the bar is full and its
    // riding marker sits 5 pixels left of its right end (the bar spans x 150 to 620).
    EXPECT_TRUE(ColourNear(screen, trackX, trackY, 0xE0A526));
    const wxImage marker = LoadPng(skin / "progress_marker.png");
    const auto [markerX, markerY] = InSlot(3, 615 + marker.GetWidth() / 2, 12 + 9);
    EXPECT_TRUE(ColourNear(screen, markerX, markerY, RgbAt(marker, 5, 9)));
    // A link button's face (WebBtn at 24,202), inside its border.
    const wxImage face = LoadPng(skin / "btn_link_142x36_normal.png");
    EXPECT_TRUE(ColourNear(screen, main.x + 30, main.y + 206, RgbAt(face, 6, 4)));
}

TEST_P(DisplayLauncherAt1024, PlayerPicksAServerAndEntersTheGame) {
    ASSERT_TRUE(Start());
    // Area "B" (DServer), then the server button opens the drop-down above it.
    const auto [areaX, areaY] = InSlot(3, 184, 60);
    ClickAt(areaX, areaY);
    const auto [buttonX, buttonY] = InSlot(3, 530, 60);
    std::optional<Rect> dropDown;
    ClickUntil(buttonX, buttonY, [&] { return (dropDown = WindowOfWidth(pid_, 140)).has_value(); });
    ASSERT_TRUE(dropDown) << "the drop-down did not open";
    // It may be mapped a moment before it takes its rows' height.
    WaitFor([&] {
        dropDown = WindowOfWidth(pid_, 140).value_or(*dropDown);
        return dropDown->height == 2 * 27 + 4;
    });
    // Right above the server button: its bottom edge 46 pixels below the update window's top,
    // its two rows 27 pixels each plus 4.
    const Rect main = Modes[0].main;
    EXPECT_EQ(dropDown->x, main.x + 566);
    EXPECT_EQ(dropDown->height, 2 * 27 + 4);
    EXPECT_EQ(dropDown->y + dropDown->height, main.y + 580 + 46);
    // Its second row: "South".
    EXPECT_TRUE(ClickUntil(dropDown->x + 70, dropDown->y + 2 + 27 + 13,
                           [&] { return !WindowOfWidth(pid_, 140); }));
    std::optional<int> exitCode;
    ClickUntil(main.x + 95, main.y + 518, // EnterGameBtn
               [&] { return (exitCode = WaitForExit(0)).has_value(); });
    if (!exitCode)
        exitCode = WaitForExit();
    EXPECT_EQ(exitCode, 0);
    const std::string started = WaitForClientStartLine(dir_.path());
    EXPECT_NE(started.find("ServerAddr=\"10.0.0.4\" ServerPort=\"7004\""), std::string::npos)
        << started;
    EXPECT_TRUE(VisibleWindows(pid_).empty());
}

// The web views render in processes of their own, children of the launcher.
std::vector<pid_t> WebProcessesOf(pid_t parent) {
    return ProcessesWhere([&](const fs::path& process) {
        std::istringstream stat(ReadFile(process / "stat"));
        std::string pid, comm, state;
        pid_t ppid = 0;
        stat >> pid >> comm >> state >> ppid;
        return ppid == parent && comm.starts_with("(WebKitWebProc");
    });
}

TEST_P(DisplayLauncherAt1024, AWebViewProcessThatDiesLeavesTheLauncherRunningAndClosable) {
    ASSERT_TRUE(Start());
    // Killed once running: WebKit itself aborts when a web process dies while it is being
    // launched, before it has told its pid.
    const auto [leftX, leftY] = InSlot(0, 100, 100);
    ASSERT_TRUE(WaitFor(
        [&] {
            const wxImage screen = Screenshot(dir_ / "screen.png");
            return screen.IsOk() && ColourNear(screen, leftX, leftY, 0x3CB371);
        },
        15000));
    std::vector<pid_t> web;
    ASSERT_TRUE(WaitFor([&] { return (web = WebProcessesOf(pid_)).size() >= 3; }));
    for (pid_t pid : web)
        kill(pid, SIGKILL);
    EXPECT_FALSE(WaitForExit(1500));
    EXPECT_EQ(VisibleWindows(pid_).size(), 5u);
    ExpectTheCloseBoxEndsTheLauncherAtOnce();
}

TEST_P(DisplayLauncherAt1024, CloseWhileAPanelsPageHangsEndsTheLauncherAtOnce) {
    ASSERT_TRUE(server_->SetRules({"/left.html=stall"}));
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitFor([&] { return server_->CountRequests("/left.html") > 0; }));
    ExpectTheCloseBoxEndsTheLauncherAtOnce();
    EXPECT_TRUE(WebProcessesOf(pid_).empty());
}

// An update address that answers 404 brings the network-help box once the version check's
// 15 s are over; a SIGTERM while it is open ends the launcher as one while it is idle does: exit
// code 0, its workers stopped, its windows gone.
TEST_P(DisplayLauncherAt1024, SigtermWhileTheNetworkHelpBoxIsOpenEndsTheLauncher) {
    fs::copy_file(BinDir() / "LiveUpdate.dll", dir_ / "LiveUpdate.dll");
    // Any key will do: no manifest is ever found to check with it.
    WriteFile(dir_ / "update.pub", "-----BEGIN PUBLIC KEY-----\n"
                                   "MCowBQYDK2VwAyEAjF/eNuRBc2wtM1FMh6opxFPhmcb+L/2TjY3yn7fEkAo=\n"
                                   "-----END PUBLIC KEY-----\n");
    WriteFile(dir_ / "Do.ini", "[Addr]\nUpdateVersionUrl1=" + server_->Url("/missing.xml") + "\n");
    ASSERT_TRUE(Start());
    // Found by its exact title: while the launcher starts, other windows come and go.
    const auto boxOpen = [&] {
        std::istringstream ids(
            Xdotool("search --onlyvisible --pid " + std::to_string(pid_)).output);
        for (std::string id; ids >> id;)
            if (Xdotool("getwindowname " + id).output == "连接更新服务器失败\n")
                return true;
        return false;
    };
    ASSERT_TRUE(WaitFor(boxOpen, 60000)) << ReadFile(dir_ / "run.log");
    EXPECT_GT(server_->CountRequests("/missing.xml"), 0);
    launcher_->Signal(SIGTERM);
    EXPECT_EQ(WaitForExit(), 0) << ReadFile(dir_ / "stderr.txt");
    EXPECT_TRUE(VisibleWindows(pid_).empty());
    const std::string log = ReadFile(dir_ / "run.log");
    EXPECT_NE(log.find("The network is busy"), std::string::npos) << log;
    EXPECT_EQ(log.find("did not stop"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Desktop, DisplayLauncherAt1024, testing::Values(0));

} // namespace
