// The real launcher executable updating a game from a local server, ended in the middle: a close
// during a download or an install ends it, and a SIGKILL during an install leaves every game file
// whole, old or new, for the next start to finish the update.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "system/atomic_replace.h"
#include "tests/e2e/launcher_process.h"
#include "tests/scripts/command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"
#include "tests/support/zip_maker.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const fs::path kScripts = LAUNCHER_SCRIPTS_DIR;
constexpr int kBigFiles = 24;
constexpr size_t kBigFileBytes = 1 << 20;

std::string Noise(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator());
    return bytes;
}

std::string BigName(int i) {
    return "big/f" + std::to_string(100 + i) + ".bin";
}

class UpdatingLauncher : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < kBigFiles; ++i) {
            oldFiles[BigName(i)] = "old " + std::to_string(i);
            newFiles[BigName(i)] = Noise(kBigFileBytes, static_cast<unsigned>(i));
        }
        oldFiles["version.ini"] = "[Version]\nVersion=1.0\nLVersion=1\n";
        newFiles["version.ini"] = "[Version]\nVersion=1.1\nLVersion=1\n";
        for (const auto& [path, bytes] : oldFiles) {
            WriteFile(game / path, bytes);
            WriteFile(work / "old" / path, bytes);
        }
        for (const auto& [path, bytes] : newFiles)
            WriteFile(work / "new" / path, bytes);
        ASSERT_EQ(RunCommand({kScripts / "make-update-key", work / "key"}).exitCode, 0);
        const CommandResult run =
            RunCommand({kScripts / "publish-update", "--key", work / "key/update.key",
                        "--installed", work / "old", "--new", work / "new", "--version", "1.1",
                        "--launcher-version", "1", "--out", work / "srv"});
        ASSERT_EQ(run.exitCode, 0) << run.output;

        InstallLauncher(game.path());
        fs::copy_file(BinDir() / "LiveUpdate.dll", game / "LiveUpdate.dll");
        fs::copy_file(work / "key/update.pub", game / "update.pub");
        WriteFile(game / "resolution.ini", "[Setting]\nFullScreen=0\nResolution=1\n");
    }

    void Serve(const std::vector<std::string>& rules) {
        server = std::make_unique<TestServer>(work / "srv", rules);
        WriteFile(game / "Do.ini",
                  "[Addr]\nUpdateVersionUrl1=" + server->Url("/manifest.xml") + "\n");
    }

    // Waits until check holds, up to 30 s.
    static bool WaitFor(const std::function<bool()>& check) {
        for (int i = 0; i < 3000; ++i) {
            if (check())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    int BigFilesInstalled() const {
        int installed = 0;
        for (int i = 0; i < kBigFiles; ++i) {
            std::error_code error;
            installed += fs::file_size(game / BigName(i), error) == kBigFileBytes ? 1 : 0;
        }
        return installed;
    }

    // Every game file holds the old or the new bytes whole; a temporary sibling of an install
    // that was cut off may remain beside them.
    void ExpectEveryFileWhole() const {
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
    LauncherProcess launcher(game.path());
    ASSERT_TRUE(WaitFor([&] { return server->CountRequests("/1.0-1.1-1.upd") > 0; }));
    launcher.Signal(SIGTERM);
    EXPECT_EQ(launcher.WaitForExit(10000), 0);
    ExpectEveryFileWhole();
}

TEST_F(UpdatingLauncher, CloseDuringAnInstallEndsTheLauncher) {
    Serve({});
    LauncherProcess launcher(game.path());
    ASSERT_TRUE(WaitFor([&] { return BigFilesInstalled() > 0; }));
    launcher.Signal(SIGTERM);
    EXPECT_EQ(launcher.WaitForExit(10000), 0);
    ExpectEveryFileWhole();
}

TEST_F(UpdatingLauncher, KillDuringAnInstallLeavesWholeFilesAndTheNextStartFinishes) {
    Serve({});
    {
        LauncherProcess launcher(game.path());
        ASSERT_TRUE(WaitFor([&] { return BigFilesInstalled() > 0; }));
        launcher.Signal(SIGKILL);
        EXPECT_FALSE(launcher.WaitForExit(10000).has_value());
    }
    ExpectEveryFileWhole();
    EXPECT_EQ(ReadFile(game / "version.ini"), oldFiles["version.ini"]);

    LauncherProcess again(game.path());
    ASSERT_TRUE(WaitFor([&] {
        return ReadFile(game / "version.ini") == newFiles["version.ini"] &&
               !fs::exists(game / "temp");
    }));
    again.Signal(SIGTERM);
    EXPECT_EQ(again.WaitForExit(10000), 0);
    for (const auto& [path, bytes] : newFiles)
        EXPECT_TRUE(ReadFile(game / path) == bytes) << path;
}

} // namespace
