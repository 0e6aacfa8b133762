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

class StartupInEachMode : public ::testing::TestWithParam<std::tuple<const char*, int, int>> {};

TEST_P(StartupInEachMode, PreparesMainWindowAndLoadsConfiguration) {
    const auto [screen, mode, updateY] = GetParam();
    TempDir dir;
    // A server-list server that answers, so that nothing in the run is an error.
    TempDir site;
    WriteFile(site / "list.xml", kTwoAreaList);
    WriteFile(dir / "ServerList.xml", kTwoAreaList);
    TestServer server(site.path());
    WriteFile(dir / "zel.ini",
              "[Setup]\nVersion=1.2.3\nVoice=50\nServerListUrl=" + server.Url("/list.xml") + "\n");

    RunUntilPrepared(
        dir,
        [&](LauncherFrameWnd& frame) {
            EXPECT_EQ(frame.ScreenSizeMode, mode);
            EXPECT_EQ(frame.LayoutTable[LayoutUpdate].y, updateY);
            EXPECT_EQ(MainWindowTitle(), L"Tavi游戏");
        },
        screen);
    EXPECT_EQ(TheLauncherFrame.load(), nullptr);
    // The migration made the two settings files from the legacy keys.
    EXPECT_NE(ReadFile(dir / "version.ini").find("Version=1.2.3"), std::string::npos);
    EXPECT_NE(ReadFile(dir / "resolution.ini").find("Voice=50"), std::string::npos);
    ASSERT_TRUE(fs::exists(dir / "run.log"));
    EXPECT_EQ(ReadFile(dir / "run.log"), "");
}

INSTANTIATE_TEST_SUITE_P(Modes, StartupInEachMode,
                         ::testing::Values(std::make_tuple("1024x768", 0, 580),
                                           std::make_tuple("1280x720", 1, 545),
                                           std::make_tuple("800x600", 2, 453)));

TEST(HeadlessStartup, ScrambledWebIniGivesTitleAndLogoAndLeavesNoCopy) {
    TempDir dir;
    const std::string plain = "[Setting]\r\nAppTitle=Demo\r\nLogoWidth=100\r\n";
    const std::string key = "PaxLorQ8";
    std::string scrambled;
    for (size_t i = 0; i < plain.size(); ++i)
        scrambled += static_cast<char>(plain[i] + key[i % 8]);
    WriteFile(dir / "web.ini", scrambled);
    WriteFile(dir / "web.ini.tmp", "stale");

    RunUntilPrepared(dir, [](LauncherFrameWnd& frame) {
        EXPECT_EQ(MainWindowTitle(), L"Demo");
        ASSERT_NE(frame.LogoCtrl, nullptr);
        const DuiLib::RECT logo = frame.LogoCtrl->GetPos();
        EXPECT_EQ(logo.left, 290);
        EXPECT_EQ(logo.right, 390);
        EXPECT_EQ(logo.top, 10);
        EXPECT_EQ(logo.bottom, 162);
    });
    EXPECT_FALSE(fs::exists(dir / "web.ini.tmp"));
}

TEST(HeadlessStartup, RunLogThatCannotBeOpenedLeavesLauncherRunning) {
    TempDir dir;
    fs::create_directory(dir / "run.log");
    RunUntilPrepared(dir, [](LauncherFrameWnd&) {});
}

TEST(LauncherExecutable, EndsWithZeroOnSigtermAndSigint) {
    for (int signalNumber : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signalNumber);
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
        launcher.Signal(signalNumber);
        EXPECT_EQ(launcher.WaitForExit(2000), 0);
    }
}

TEST(LauncherExecutable, MissingOrBrokenSkinArchiveEndsCleanlyWithReason) {
    for (const std::string archive : {"", "not a zip", "PK\x03\x04truncated", "no main skin"}) {
        SCOPED_TRACE(archive);
        TempDir dir;
        InstallLauncher(dir.path(), false);
        if (archive == "no main skin")
            MakeZip(dir / "bt.dat", {{.name = "server.xml", .data = "<Window size=\"10,10\"/>"}});
        else if (!archive.empty())
            WriteFile(dir / "bt.dat", archive);
        LauncherProcess launcher(dir.path());
        EXPECT_EQ(launcher.WaitForExit(10000), 0);
        EXPECT_NE(ReadFile(dir / "run.log").find("launcherSkin.xml"), std::string::npos);
    }
}

// The headless launcher shows its message boxes nowhere, so it says what they said: on standard
// error and in "run.log". "version.ini" that cannot be read (a directory in its place) brings the
// missing-file box.
TEST(HeadlessMessageBox, CaptionAndTextGoToStandardErrorAndTheLog) {
    TempDir dir;
    InstallLauncher(dir.path());
    fs::create_directory(dir / "version.ini");
    const std::string record =
        "message box \"错误\": 游戏无法启动，缺少 Version.ini 文件或重新安装游戏！";
    TempDir output;
    LauncherProcess launcher(dir.path(), {.standardError = output / "stderr.txt"});
    ASSERT_TRUE(
        WaitFor([&] { return ReadFile(dir / "run.log").find(record) != std::string::npos; }, 10000))
        << ReadFile(dir / "run.log");
    launcher.Signal(SIGTERM);
    EXPECT_EQ(launcher.WaitForExit(5000), 0);

    EXPECT_NE(ReadFile(output / "stderr.txt").find(record + "\n"), std::string::npos)
        << ReadFile(output / "stderr.txt");
    const std::string log = ReadFile(dir / "run.log");
    EXPECT_NE(log.rfind(": Error: ", log.find(record)), std::string::npos) << log;
}
