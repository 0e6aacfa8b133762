// The launcher's start-up end to end on the headless backend: in this process through WinMain,
// and as the real executable for signals, broken program directories and message boxes.
#include <chrono>
#include <csignal>
#include <thread>

#include <gtest/gtest.h>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "tests/e2e/launcher_process.h"
#include "tests/e2e/run_until_prepared.h"
#include "tests/e2e/two_area_list.h"
#include "tests/support/test_server.h"
#include "tests/support/wait_for.h"
#include "tests/support/zip_maker.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

std::wstring MainWindowTitle() {
    for (const auto& window : DuiLib::Headless::Windows())
        if (window.className == L"UIMainFrame")
            return window.title;
    return L"";
}

} // namespace

// A screen other than the default one, so that the mode is seen to follow it; every mode's
// layout is the frame's own test.
TEST(HeadlessStartup, PreparesMainWindowForTheScreenAndWebIniAndMigratesTheConfiguration) {
    TempDir dir;
    // A server-list server that answers, so that nothing in the run is an error.
    TempDir site;
    WriteFile(site / "list.xml", kTwoAreaList);
    WriteFile(dir / "ServerList.xml", kTwoAreaList);
    TestServer server(site.path());
    WriteFile(dir / "zel.ini",
              "[Setup]\nVersion=1.2.3\nVoice=50\nServerListUrl=" + server.Url("/list.xml") + "\n");
    WriteFile(dir / "web.ini", "[Setting]\nAppTitle=Demo\nLogoWidth=100\n");

    RunUntilPrepared(
        dir,
        [&](LauncherFrameWnd& frame) {
            EXPECT_EQ(frame.ScreenSizeMode, 1);
            EXPECT_EQ(frame.LayoutTable[LayoutUpdate].y, 545);
            EXPECT_EQ(MainWindowTitle(), L"Demo");
            ASSERT_NE(frame.LogoCtrl, nullptr);
            const DuiLib::RECT logo = frame.LogoCtrl->GetPos();
            EXPECT_EQ((std::vector<int>{logo.left, logo.top, logo.right, logo.bottom}),
                      (std::vector<int>{290, 10, 390, 162}));
        },
        "1280x720");
    EXPECT_EQ(TheLauncherFrame.load(), nullptr);
    // The migration made the two settings files from the legacy keys.
    EXPECT_NE(ReadFile(dir / "version.ini").find("Version=1.2.3"), std::string::npos);
    EXPECT_NE(ReadFile(dir / "resolution.ini").find("Voice=50"), std::string::npos);
    ASSERT_TRUE(fs::exists(dir / "run.log"));
    EXPECT_EQ(ReadFile(dir / "run.log"), "");
}

TEST(HeadlessStartup, RunLogThatCannotBeOpenedLeavesLauncherRunning) {
    TempDir dir;
    fs::create_directory(dir / "run.log");
    RunUntilPrepared(dir, [](LauncherFrameWnd&) {});
}

// Which signals end the loop, and how, is the UI library's; here the real executable's wiring.
TEST(LauncherExecutable, EndsWithZeroOnSigterm) {
    TempDir dir;
    const fs::path program = dir / "游戏 目录";
    InstallLauncher(program);
    LauncherProcess launcher(program);
    ASSERT_TRUE(WaitFor(
        [&] { return fs::exists(program / "run.log") && fs::exists(program / "version.ini"); },
        10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // Still running: it keeps its message loop until told to quit.
    EXPECT_FALSE(launcher.WaitForExit(100).has_value());
    launcher.Signal(SIGTERM);
    EXPECT_EQ(launcher.WaitForExit(), 0);
}

// A test's SIGTERM right after the start waits for the launcher's handler: sent before it, the
// signal would kill the launcher, and a test that signals it would fail on a fast machine.
TEST(LauncherExecutable, SigtermRightAfterTheStartEndsItWithZero) {
    TempDir dir;
    InstallLauncher(dir.path());
    for (int run = 0; run < 3; ++run) {
        LauncherProcess launcher(dir.path());
        launcher.Signal(SIGTERM);
        EXPECT_EQ(launcher.WaitForExit(), 0) << "run " << run;
    }
}

TEST(LauncherExecutable, MissingOrBrokenSkinArchiveEndsCleanlyWithReason) {
    // Which archives the skin reader refuses is its own test's; here a missing one and one that
    // opens but lacks the main skin.
    for (const bool archive : {false, true}) {
        SCOPED_TRACE(archive);
        TempDir dir;
        InstallLauncher(dir.path(), false);
        if (archive)
            MakeZip(dir / "bt.dat", {{.name = "server.xml", .data = "<Window size=\"10,10\"/>"}});
        LauncherProcess launcher(dir.path());
        EXPECT_EQ(launcher.WaitForExit(), 0);
        EXPECT_NE(ReadFile(dir / "run.log").find("launcherSkin.xml"), std::string::npos);
    }
}

// The headless launcher shows its message boxes nowhere, so it says what they said: on standard
// error (the UI library's own test) and in "run.log". "version.ini" that cannot be read (a
// directory in its place) brings the missing-file box.
TEST(HeadlessMessageBox, CaptionAndTextGoToTheLogAsAnError) {
    TempDir dir;
    InstallLauncher(dir.path());
    fs::create_directory(dir / "version.ini");
    const std::string record =
        "message box \"错误\": 游戏无法启动，缺少 Version.ini 文件或重新安装游戏！";
    LauncherProcess launcher(dir.path());
    ASSERT_TRUE(WaitFor([&] {
        return ReadFile(dir / "run.log").find(record) != std::string::npos;
    })) << ReadFile(dir / "run.log");
    launcher.Signal(SIGTERM);
    EXPECT_EQ(launcher.WaitForExit(), 0);
    const std::string log = ReadFile(dir / "run.log");
    EXPECT_NE(log.rfind(": Error: ", log.find(record)), std::string::npos) << log;
}
