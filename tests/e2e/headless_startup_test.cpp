// The launcher's start-up end to end on the headless backend: in this process through WinMain,
// and as the real executable for signals and broken program directories.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/winmain.h"
#include "tests/e2e/launcher_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"
#include "tests/support/zip_maker.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

struct Observed {
    bool prepared = false;
    int mode = -1;
    LayoutOffset update;
    DuiLib::RECT logo;
    bool logoFound = false;
    std::wstring title;
};

// Runs WinMain on this thread; once the main window is prepared, records what it shows and
// quits through the message loop as a closed window would.
Observed RunLauncher(const TempDir& dir, const char* screen) {
    setenv("LAUNCHER_SCREEN", screen, 1);
    Observed observed;
    std::atomic<bool> stop{false};
    std::thread watcher([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!stop && std::chrono::steady_clock::now() < deadline) {
            LauncherFrameWnd* frame = TheLauncherFrame.load();
            if (frame != nullptr && frame->WindowPrepared)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        DuiLib::PostToUiThread([&] {
            if (LauncherFrameWnd* frame = TheLauncherFrame.load()) {
                observed.prepared = frame->WindowPrepared;
                observed.mode = frame->ScreenSizeMode;
                observed.update = frame->LayoutTable[LayoutUpdate];
                if (frame->LogoCtrl != nullptr) {
                    observed.logoFound = true;
                    observed.logo = frame->LogoCtrl->GetPos();
                }
                for (const auto& window : DuiLib::Headless::Windows())
                    if (window.className == L"UIMainFrame")
                        observed.title = window.title;
            }
            DuiLib::PostQuitMessage(0);
        });
    });
    EXPECT_EQ(WinMain(dir.wide().c_str(), nullptr, "", 0), 0);
    stop = true;
    watcher.join();
    return observed;
}

void InstallSkin(const TempDir& dir) {
    fs::copy_file(BinDir() / "bt.dat", dir.path() / "bt.dat");
}

} // namespace

class StartupInEachMode : public ::testing::TestWithParam<std::tuple<const char*, int, int>> {};

TEST_P(StartupInEachMode, PreparesMainWindowAndLoadsConfiguration) {
    const auto [screen, mode, updateY] = GetParam();
    TempDir dir;
    InstallSkin(dir);
    // A server-list server that answers, so that nothing in the run is an error.
    TempDir site;
    const std::string list = "<tavi><area pid=\"1\" name=\"A\"><server sid=\"1\" name=\"S\" "
                             "address=\"10.0.0.1\" port=\"7000\" chargeIp=\"c\"/></area></tavi>";
    WriteFile(site / "list.xml", list);
    WriteFile(dir / "ServerList.xml", list);
    TestServer server(site.path());
    WriteFile(dir / "zel.ini",
              "[Setup]\nVersion=1.2.3\nVoice=50\nServerListUrl=" + server.Url("/list.xml") + "\n");

    const Observed observed = RunLauncher(dir, screen);

    EXPECT_TRUE(observed.prepared);
    EXPECT_EQ(observed.mode, mode);
    EXPECT_EQ(observed.update.y, updateY);
    EXPECT_EQ(observed.title, L"Tavi游戏");
    EXPECT_EQ(TheLauncherFrame.load(), nullptr);
    // The migration made the two settings files from the legacy keys.
    EXPECT_NE(ReadFile(dir / "version.ini").find("Version=1.2.3"), std::string::npos);
    EXPECT_NE(ReadFile(dir / "resolution.ini").find("Voice=50"), std::string::npos);
    // A run without errors leaves an empty log.
    ASSERT_TRUE(fs::exists(dir / "run.log"));
    EXPECT_EQ(ReadFile(dir / "run.log"), "");
}

INSTANTIATE_TEST_SUITE_P(Modes, StartupInEachMode,
                         ::testing::Values(std::make_tuple("1024x768", 0, 580),
                                           std::make_tuple("1280x720", 1, 545),
                                           std::make_tuple("800x600", 2, 453)));

TEST(HeadlessStartup, ScrambledWebIniGivesTitleAndLogoAndLeavesNoCopy) {
    TempDir dir;
    InstallSkin(dir);
    const std::string plain = "[Setting]\r\nAppTitle=Demo\r\nLogoWidth=100\r\n";
    const std::string key = "PaxLorQ8";
    std::string scrambled;
    for (size_t i = 0; i < plain.size(); ++i)
        scrambled += static_cast<char>(plain[i] + key[i % 8]);
    WriteFile(dir / "web.ini", scrambled);
    WriteFile(dir / "web.ini.tmp", "stale");

    const Observed observed = RunLauncher(dir, "1024x768");

    EXPECT_EQ(observed.title, L"Demo");
    ASSERT_TRUE(observed.logoFound);
    EXPECT_EQ(observed.logo.left, 290);
    EXPECT_EQ(observed.logo.right, 390);
    EXPECT_EQ(observed.logo.top, 10);
    EXPECT_EQ(observed.logo.bottom, 162);
    EXPECT_FALSE(fs::exists(dir / "web.ini.tmp"));
}

TEST(HeadlessStartup, RunLogThatCannotBeOpenedLeavesLauncherRunning) {
    TempDir dir;
    InstallSkin(dir);
    fs::create_directory(dir / "run.log");
    const Observed observed = RunLauncher(dir, "1024x768");
    EXPECT_TRUE(observed.prepared);
}

TEST(LauncherExecutable, EndsWithZeroOnSigtermAndSigint) {
    for (int signalNumber : {SIGTERM, SIGINT}) {
        TempDir dir;
        const fs::path program = dir / "游戏 目录";
        InstallLauncher(program);
        LauncherProcess launcher(program);
        ASSERT_TRUE(WaitForFile(program / "run.log", 10000));
        ASSERT_TRUE(WaitForFile(program / "version.ini", 10000));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        // Still running: it keeps its message loop until told to quit.
        EXPECT_FALSE(launcher.WaitForExit(100).has_value());
        launcher.Signal(signalNumber);
        EXPECT_EQ(launcher.WaitForExit(2000), 0);
    }
}

TEST(LauncherExecutable, MissingOrBrokenSkinArchiveEndsCleanlyWithReason) {
    for (const char* archive : {"", "not a zip", "PK\x03\x04truncated", "no main skin"}) {
        TempDir dir;
        InstallLauncher(dir.path(), false);
        if (std::string(archive) == "no main skin")
            MakeZip(dir / "bt.dat", {{.name = "server.xml", .data = "<Window size=\"10,10\"/>"}});
        else if (*archive != '\0')
            WriteFile(dir / "bt.dat", archive);
        LauncherProcess launcher(dir.path());
        EXPECT_EQ(launcher.WaitForExit(10000), 0);
        EXPECT_NE(ReadFile(dir / "run.log").find("launcherSkin.xml"), std::string::npos);
    }
}
