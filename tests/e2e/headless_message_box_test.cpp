// The headless launcher shows its message boxes nowhere, so it says what they said: on standard
// error and in "run.log".
#include <csignal>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/e2e/launcher_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_for.h"

namespace fs = std::filesystem;
using namespace testing_support;

// "version.ini" that cannot be read (a directory in its place) brings the missing-file box.
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
