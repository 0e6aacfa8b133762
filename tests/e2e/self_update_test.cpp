// A launcher update end to end with the real programs: the launcher installs the game's packages,
// hands the one carrying "launcherupdate.exe" to that self-updater and quits; the self-updater
// copies the new launcher in and starts it again, and the new launcher finishes the update.
#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/e2e/launcher_process.h"
#include "tests/e2e/published_update.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_for.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// The launcher running from dir that this test did not start itself (the self-updater did).
std::optional<pid_t> LauncherRunningFrom(const fs::path& dir) {
    const std::string program = (dir / "launcher").string();
    const std::vector<pid_t> found = ProcessesWhere([&](const fs::path& process) {
        std::error_code error;
        const std::string exe = fs::read_symlink(process / "exe", error).string();
        return !error && (exe == program || exe == program + " (deleted)");
    });
    return found.empty() ? std::nullopt : std::optional(found.front());
}

// The game before (1.0, launcher 1) or after the update (1.1, launcher 2), with the given
// launcher and self-updater programs.
void WriteGame(const fs::path& dir, bool updated, const std::string& launcher,
               const std::string& updater) {
    WriteFile(dir / "version.ini", updated ? "[Version]\nVersion=1.1\nLVersion=2\n"
                                           : "[Version]\nVersion=1.0\nLVersion=1\n");
    WriteFile(dir / "a.txt", updated ? "new" : "old");
    WriteFile(dir / "launcher", launcher);
    WriteFile(dir / "launcherupdate.exe", updater);
    chmod((dir / "launcher").c_str(), 0755);
    chmod((dir / "launcherupdate.exe").c_str(), 0755);
}

TEST(SelfUpdate, LauncherHandsOverAndComesBackUpdated) {
    TempDir game;
    TempDir work;
    const std::string launcher = ReadFile(BinDir() / "launcher");
    const std::string updater = ReadFile(BinDir() / "launcherupdate.exe");
    // Bytes after the end of an ELF file change the file, not the program.
    const std::string newLauncher = launcher + "new launcher";
    const std::string newUpdater = updater + "new updater";
    WriteGame(game.path(), false, launcher, updater);
    WriteGame(work / "old", false, launcher, updater);
    WriteGame(work / "new", true, newLauncher, newUpdater);
    ASSERT_NO_FATAL_FAILURE(PublishUpdate(work.path(), "1.1", "2"));
    TestServer server(work / "srv");
    fs::copy_file(BinDir() / "bt.dat", game / "bt.dat");
    TakeUpdatesFrom(game.path(), work.path(), server);

    LauncherProcess first(game.path());
    // The hand-over ends the first launcher by itself.
    EXPECT_EQ(first.WaitForExit(), 0);
    EXPECT_EQ(ReadFile(game / "a.txt"), "new");

    std::optional<pid_t> second;
    const bool finished = WaitFor(
        [&] {
            return ReadFile(game / "launcher") == newLauncher &&
                   ReadFile(game / "version.ini") == "[Version]\nVersion=1.1\nLVersion=2\n" &&
                   (second = LauncherRunningFrom(game.path())).has_value();
        },
        60000);
    EXPECT_TRUE(finished) << ReadFile(game / "launcherupdate.log");
    EXPECT_TRUE(ReadFile(game / "launcherupdate.exe") == newUpdater);
    if (second) {
        WaitUntilCatches(*second, SIGTERM);
        kill(*second, SIGTERM);
        EXPECT_TRUE(WaitFor([&] { return !LauncherRunningFrom(game.path()); }));
    }
}

} // namespace
