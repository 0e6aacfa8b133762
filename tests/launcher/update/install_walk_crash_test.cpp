// The install walk killed with SIGKILL at random moments: every installed file is afterwards
// the old version or the new one, byte for byte; a directory copied whole is there complete or
// not at all; what a killed walk leaves behind carries only our temporary names; and a walk
// started again installs everything.
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "system/atomic_replace.h"
#include "tests/support/frame_with_log.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_maker.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

constexpr int kFiles = 60;
constexpr int kRounds = 50;

// Sizes from a few bytes to a few hundred KiB, so kills land inside large writes too.
std::string Content(const char* version, int file) {
    const size_t size = static_cast<size_t>(file % 7 == 0 ? 300000 : 17 * file + 3);
    std::string bytes(size, static_cast<char>('a' + file % 26));
    bytes.replace(0, std::min(bytes.size(), std::strlen(version)), version);
    return bytes;
}

std::string Name(int file) {
    return "data" + std::to_string(file % 4) + "/file" + std::to_string(file) + ".bin";
}

class InstallWalkKilled : public testing_support::FrameWithLog {
protected:
    void SetUp() override {
        FrameWithLog::SetUp();
        frame.InstancePath = game.wide();
        for (int file = 0; file < kFiles; ++file)
            WriteFile(package / Name(file), Content("new", file));
        for (int file = 0; file < 20; ++file)
            WriteFile(package / "maps" / Name(file), Content("map", file));
        WriteFile(package / "added.txt", "added");
    }

    void ResetInstallation() {
        fs::remove_all(game / "maps");
        fs::remove(game / "added.txt");
        for (int file = 0; file < kFiles; ++file)
            WriteFile(game / Name(file), Content("old", file));
    }

    // Starts the walk in a child process; the child's exit status says whether it succeeded.
    pid_t StartInstall() {
        const pid_t child = fork();
        if (child == 0) {
            const wxString root(package.wstring());
            _exit(frame.FileTranvers(root, root, false) ? 0 : 1);
        }
        return child;
    }

    // Every file is whole in one of its versions; temporaries are the only other names.
    void ExpectOldOrNew(int round) {
        for (int file = 0; file < kFiles; ++file) {
            const std::string now = ReadFile(game / Name(file));
            EXPECT_TRUE(now == Content("old", file) || now == Content("new", file))
                << Name(file) << " in round " << round;
        }
        if (fs::exists(game / "maps")) {
            for (int file = 0; file < 20; ++file)
                EXPECT_EQ(ReadFile(game / "maps" / Name(file)), Content("map", file)) << round;
        }
        if (fs::exists(game / "added.txt")) {
            EXPECT_EQ(ReadFile(game / "added.txt"), "added") << round;
        }
        for (const std::string& path : ListTree(game.path())) {
            const std::string name = fs::path(path).filename().string();
            if (name.starts_with(".")) {
                EXPECT_TRUE(platform::IsTemporarySiblingName(name)) << path;
            }
        }
    }

    const TempDir& game = programDir;
    TempDir downloads;
    const fs::path package = downloads / "patch";
};

TEST_F(InstallWalkKilled, EveryFileIsOldOrNewAndTheNextWalkCompletes) {
    ResetInstallation();
    const auto start = std::chrono::steady_clock::now();
    int status = -1;
    ASSERT_EQ(waitpid(StartInstall(), &status, 0) > 0 && WIFEXITED(status), true);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    const auto whole = std::chrono::steady_clock::now() - start;

    std::mt19937 random(20261207);
    for (int round = 0; round < kRounds; ++round) {
        ResetInstallation();
        const pid_t child = StartInstall();
        ASSERT_GT(child, 0);
        std::uniform_int_distribution<int64_t> moment(
            0, std::chrono::duration_cast<std::chrono::microseconds>(whole).count());
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        ExpectOldOrNew(round);
    }

    const wxString root(package.wstring());
    ASSERT_TRUE(frame.FileTranvers(root, root, false));
    for (int file = 0; file < kFiles; ++file)
        EXPECT_EQ(ReadFile(game / Name(file)), Content("new", file)) << Name(file);
    EXPECT_EQ(ReadFile(game / "maps" / Name(3)), Content("map", 3));
}

} // namespace
