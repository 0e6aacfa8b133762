// The real launcher executable updating a game from a local server, ended in the middle: a close
// during a download or an install ends it, and a SIGKILL during an install leaves every game file
// whole, old or new, for the next start to finish the update.
#include <csignal>
#include <filesystem>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "system/atomic_replace.h"
#include "tests/e2e/launcher_process.h"
#include "tests/e2e/published_update.h"
#include "tests/support/noise_bytes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_for.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

constexpr int kBigFiles = 24;
constexpr size_t kBigFileBytes = 1 << 20;

std::string BigName(int i) {
    return "big/f" + std::to_string(100 + i) + ".bin";
}

class UpdatingLauncher : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < kBigFiles; ++i) {
            oldFiles[BigName(i)] = "old " + std::to_string(i);
            newFiles[BigName(i)] = NoiseBytes(kBigFileBytes, static_cast<unsigned>(i));
        }
        oldFiles["version.ini"] = "[Version]\nVersion=1.0\nLVersion=1\n";
        newFiles["version.ini"] = "[Version]\nVersion=1.1\nLVersion=1\n";
        for (const auto& [path, bytes] : oldFiles) {
            WriteFile(game / path, bytes);
            WriteFile(work / "old" / path, bytes);
        }
        for (const auto& [path, bytes] : newFiles)
            WriteFile(work / "new" / path, bytes);
        ASSERT_NO_FATAL_FAILURE(PublishUpdate(work.path(), "1.1", "1"));
        InstallLauncher(game.path());
    }

    void Serve(const std::vector<std::string>& rules) {
        server = std::make_unique<TestServer>(work / "srv", rules);
        TakeUpdatesFrom(game.path(), work.path(), *server);
    }

    bool BigFileInstalled() const {
        for (int i = 0; i < kBigFiles; ++i) {
            std::error_code error;
            if (fs::file_size(game / BigName(i), error) == kBigFileBytes)
                return true;
        }
        return false;
    }

    // Starts the launcher and sends it signalNumber once moment holds: a SIGTERM ends it cleanly.
    // Either way every game file holds the old or the new bytes whole; a temporary sibling of an
    // install that was cut off may remain beside them.
    void Interrupt(int signalNumber, const std::function<bool()>& moment) {
        {
            LauncherProcess launcher(game.path());
            ASSERT_TRUE(WaitFor(moment, 30000));
            launcher.Signal(signalNumber);
            const std::optional<int> exitCode = launcher.WaitForExit();
            EXPECT_EQ(exitCode, signalNumber == SIGTERM ? std::optional(0) : std::nullopt);
        }
        for (const auto& [path, bytes] : oldFiles) {
            const std::string now = ReadFile(game / path);
            EXPECT_TRUE(now == bytes || now == newFiles.at(path)) << path;
        }
        for (const auto& entry : fs::directory_iterator(game / "big")) {
            const std::string name = entry.path().filename().string();
            if (!platform::IsTemporarySiblingName(name)) {
                EXPECT_TRUE(oldFiles.contains("big/" + name)) << name;
            }
        }
    }

    TempDir game;
    TempDir work;
    std::unique_ptr<TestServer> server;
    std::map<std::string, std::string> oldFiles;
    std::map<std::string, std::string> newFiles;
};

TEST_F(UpdatingLauncher, CloseDuringAStalledDownloadEndsTheLauncher) {
    // The routine's own stall limit is 30 s: only the shut-down flag ends this transfer sooner.
    Serve({"/1.0-1.1-1.upd=stall"});
    Interrupt(SIGTERM, [&] { return server->CountRequests("/1.0-1.1-1.upd") > 0; });
}

TEST_F(UpdatingLauncher, CloseDuringAnInstallEndsTheLauncher) {
    Serve({});
    Interrupt(SIGTERM, [&] { return BigFileInstalled(); });
}

TEST_F(UpdatingLauncher, KillDuringAnInstallLeavesWholeFilesAndTheNextStartFinishes) {
    Serve({});
    ASSERT_NO_FATAL_FAILURE(Interrupt(SIGKILL, [&] { return BigFileInstalled(); }));
    // The kill may land after the install on a busy machine; either way "version.ini" claims the
    // new version only once every file is new.
    if (ReadFile(game / "version.ini") == newFiles["version.ini"]) {
        for (const auto& [path, bytes] : newFiles)
            EXPECT_TRUE(ReadFile(game / path) == bytes) << path << " is old under the new version";
    }

    LauncherProcess again(game.path());
    ASSERT_TRUE(WaitFor(
        [&] {
            return ReadFile(game / "version.ini") == newFiles["version.ini"] &&
                   !fs::exists(game / "temp");
        },
        30000));
    again.Signal(SIGTERM);
    EXPECT_EQ(again.WaitForExit(), 0);
    for (const auto& [path, bytes] : newFiles)
        EXPECT_TRUE(ReadFile(game / path) == bytes) << path;
}

} // namespace
