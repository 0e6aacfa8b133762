// A launcher update end to end with the real programs: the launcher installs the game's packages,
// hands the one carrying "launcherupdate.exe" to that self-updater and quits; the self-updater
// copies the new launcher in and starts it again, and the new launcher finishes the update.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/e2e/launcher_process.h"
#include "tests/scripts/command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const fs::path kScripts = LAUNCHER_SCRIPTS_DIR;

// The launcher running from dir that this test did not start itself (the self-updater did).
std::optional<pid_t> LauncherRunningFrom(const fs::path& dir) {
    const std::string program = (dir / "launcher").string();
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string exe = fs::read_symlink(entry.path() / "exe", error).string();
        if (!error && (exe == program || exe == program + " (deleted)"))
            return static_cast<pid_t>(std::stol(name));
    }
    return std::nullopt;
}

bool WaitFor(const std::function<bool()>& check, int seconds) {
    for (int i = 0; i < seconds * 100; ++i) {
        if (check())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void WriteProgram(const fs::path& file, const std::string& bytes) {
    WriteFile(file, bytes);
    chmod(file.c_str(), 0755);
}

TEST(SelfUpdate, LauncherHandsOverAndComesBackUpdated) {
    TempDir game;
    TempDir work;
    const std::string launcher = ReadFile(BinDir() / "launcher");
    const std::string updater = ReadFile(BinDir() / "launcherupdate.exe");
    // Bytes after the end of an ELF file change the file, not the program.
    const std::string newLauncher = launcher + "new launcher";
    const std::string newUpdater = updater + "new updater";
    for (const fs::path& dir : {game.path(), work / "old"}) {
        WriteFile(dir / "version.ini", "[Version]\nVersion=1.0\nLVersion=1\n");
        WriteFile(dir / "a.txt", "old");
        WriteProgram(dir / "launcher", launcher);
        WriteProgram(dir / "launcherupdate.exe", updater);
    }
    WriteFile(work / "new/version.ini", "[Version]\nVersion=1.1\nLVersion=2\n");
    WriteFile(work / "new/a.txt", "new");
    WriteProgram(work / "new/launcher", newLauncher);
    WriteProgram(work / "new/launcherupdate.exe", newUpdater);
    ASSERT_EQ(RunCommand({kScripts / "make-update-key", work / "key"}).exitCode, 0);
    const CommandResult run =
        RunCommand({kScripts / "publish-update", "--key", work / "key/update.key", "--installed",
                    work / "old", "--new", work / "new", "--version", "1.1", "--launcher-version",
                    "2", "--out", work / "srv"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    TestServer server(work / "srv");
    fs::copy_file(BinDir() / "bt.dat", game / "bt.dat");
    fs::copy_file(BinDir() / "LiveUpdate.dll", game / "LiveUpdate.dll");
    fs::copy_file(work / "key/update.pub", game / "update.pub");
    WriteFile(game / "resolution.ini", "[Setting]\nFullScreen=0\nResolution=1\n");
    WriteFile(game / "Do.ini", "[Addr]\nUpdateVersionUrl1=" + server.Url("/manifest.xml") + "\n");

    LauncherProcess first(game.path());
    // The hand-over ends the first launcher by itself.
    EXPECT_EQ(first.WaitForExit(30000), 0);
    EXPECT_EQ(ReadFile(game / "a.txt"), "new");

    std::optional<pid_t> second;
    const bool finished = WaitFor(
        [&] {
            return ReadFile(game / "launcher") == newLauncher &&
                   ReadFile(game / "version.ini") == "[Version]\nVersion=1.1\nLVersion=2\n" &&
                   (second = LauncherRunningFrom(game.path())).has_value();
        },
        60);
    EXPECT_TRUE(finished) << ReadFile(game / "launcherupdate.log");
    EXPECT_TRUE(ReadFile(game / "launcherupdate.exe") == newUpdater);
    if (second) {
        kill(*second, SIGTERM);
        EXPECT_TRUE(WaitFor([&] { return !LauncherRunningFrom(game.path()); }, 10));
    }
}

} // namespace
