// Crash safety of the real launcher executable: killed with SIGKILL at random moments of its
// start-up and of a server-list download, then started again. Every file it owns must be the old
// version or the new one byte for byte, the next start must succeed and leave no temporary file.
// The moments come from a seeded generator; set LAUNCHER_SIGKILL_SEED to repeat a run.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/launcher_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"
#include "tests/support/wait_for.h"

namespace fs = std::filesystem;
using namespace testing_support;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRunsPerPhase = 30;
constexpr int kStartTimeoutMs = 20000;

// The files the launcher writes, each with its version before a run (nullopt: absent) and the
// version a finished run leaves.
struct OwnedFile {
    std::string name;
    std::optional<std::string> before;
    std::string after;
};

// "ServerList.xml": the installed list and the one the server hands out. Both name the saved
// server, so the choice in "zel.ini" is rewritten with the bytes it had. The new list is padded
// to a few MiB so that the download takes a while.
std::string ServerList(const std::string& serverName, size_t padding) {
    return "<tavi><area pid=\"1\" name=\"A\"><server sid=\"2\" name=\"" + serverName +
           "\" address=\"10.0.0.2\" port=\"7001\" chargeIp=\"c\"/></area><!-- " +
           std::string(padding, 'p') + " --></tavi>";
}

uint32_t Seed() {
    if (const char* text = std::getenv("LAUNCHER_SIGKILL_SEED"))
        return static_cast<uint32_t>(std::strtoul(text, nullptr, 10));
    return std::random_device{}();
}

bool FileIs(const fs::path& file, const std::string& bytes) {
    std::error_code error;
    return fs::is_regular_file(file, error) && ReadFile(file) == bytes;
}

class SigkillTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(site_ / "list.xml", ServerList("New", 12 << 20));
        server_.emplace(site_.path());
        program_ = dir_ / "game dir";
        InstallLauncher(program_);
        const std::string zel =
            "[Setup]\r\nVersion=1.2.3\r\nVoice=50\r\nServerListUrl=" + server_->Url("/list.xml") +
            "\r\nServerAddr=10.0.0.2\r\nServerPort=7001\r\nChargeUrl=c\r\n"
            "ServerSid=2\r\n";
        owned_ = {{"zel.ini", zel, zel},
                  {"ServerList.xml", ServerList("Old", 0), ReadFile(site_ / "list.xml")},
                  {"version.ini", std::nullopt, "[Version]\nVersion=1.2.3\nLVersion=0.0\n"},
                  {"resolution.ini", std::nullopt,
                   "[Setting]\nResolution=1024*768\nFullScreen=0\nVoice=50\nBackGroundMusic=\n"}};
        seed_ = Seed();
        random_.seed(seed_);
        std::cout << "SIGKILL moments seeded with " << seed_ << "\n";
        RecordProperty("seed", std::to_string(seed_));
    }

    // Puts the program directory back to its state before a run: the launcher, its skin and the
    // old versions of the owned files, nothing else.
    void Reset() {
        const std::set<std::string> kept{"launcher", "bt.dat"};
        for (const auto& entry : fs::directory_iterator(program_))
            if (!kept.contains(entry.path().filename().string()))
                fs::remove_all(entry.path());
        for (const OwnedFile& file : owned_)
            if (file.before)
                WriteFile(program_ / file.name, *file.before);
    }

    // Whether the owned files (only those a run creates, the settings files, when createdOnly)
    // hold their final versions.
    bool AllFinished(bool createdOnly = false) const {
        return std::all_of(owned_.begin(), owned_.end(), [&](const OwnedFile& file) {
            return (createdOnly && file.before) || FileIs(program_ / file.name, file.after);
        });
    }

    // The identity of the installed list: a download that commits renames a new file over it.
    std::optional<ino_t> ListInode() const {
        struct stat info {};
        if (stat((program_ / "ServerList.xml").c_str(), &info) != 0)
            return std::nullopt;
        return info.st_ino;
    }

    struct Before {
        int requests = 0;
        std::optional<ino_t> list;
    };
    // Taken before a run starts, so that its own download can be told from earlier ones.
    Before TakeBefore() const { return {server_->CountRequests("/list.xml"), ListInode()}; }

    // Whether the run started after `before` fetched the list and put it in place, and every
    // owned file is in its final version; earlier runs may have left some of them so.
    bool Finished(const Before& before) const {
        return server_->CountRequests("/list.xml") > before.requests &&
               ListInode() != before.list && AllFinished();
    }

    // A whole run, timed: until the settings files are written (start-up), until the server is
    // asked for the list and until the new list is in place (the download).
    void MeasureUndisturbedRun() {
        Reset();
        const Before before = TakeBefore();
        const auto start = Clock::now();
        LauncherProcess launcher(program_);
        ASSERT_TRUE(WaitFor([&] { return AllFinished(true); }, kStartTimeoutMs, 2));
        startUp_ = Clock::now() - start;
        WaitFor([&] { return server_->CountRequests("/list.xml") > before.requests; },
                kStartTimeoutMs, 1);
        requested_ = Clock::now() - start;
        ASSERT_TRUE(WaitFor([&] { return Finished(before); }, kStartTimeoutMs));
        finished_ = Clock::now() - start;
        launcher.Signal(SIGTERM);
        ASSERT_EQ(launcher.WaitForExit(), 0);
        ASSERT_TRUE(AllFinished());
    }

    // Kills a run after delay, checks what it left, then starts again and lets that run finish.
    void KillAndRestart(std::chrono::microseconds delay, int run) {
        SCOPED_TRACE("run " + std::to_string(run) + ", killed after " +
                     std::to_string(delay.count()) + " us (seed " + std::to_string(seed_) + ")");
        Reset();
        {
            LauncherProcess launcher(program_);
            std::this_thread::sleep_for(delay);
            launcher.Signal(SIGKILL);
            launcher.WaitForExit();
        }
        if (fs::exists(program_ / "ServerListTemp.xml.part") ||
            fs::exists(program_ / "ServerListTemp.xml"))
            ++caughtInDownload_;
        for (const OwnedFile& file : owned_) {
            const fs::path path = program_ / file.name;
            const bool old = file.before ? FileIs(path, *file.before) : !fs::exists(path);
            EXPECT_TRUE(old || FileIs(path, file.after))
                << file.name << " is neither version after the kill (" << ReadFile(path).size()
                << " bytes)";
        }

        const Before before = TakeBefore();
        LauncherProcess again(program_);
        // Ten times an undisturbed run is plenty for a start that works.
        const auto patience = std::clamp<int64_t>(
            10 * std::chrono::duration_cast<std::chrono::milliseconds>(finished_).count(), 10000,
            kStartTimeoutMs);
        EXPECT_TRUE(WaitFor([&] { return Finished(before); }, static_cast<int>(patience)))
            << "the next start did not finish";
        again.Signal(SIGTERM);
        EXPECT_EQ(again.WaitForExit(), 0) << "the next start did not end cleanly";
        // Nothing but the launcher, its skin, its log and the owned files survives that start.
        std::set<std::string> expected{"launcher", "bt.dat", "run.log"};
        for (const OwnedFile& file : owned_)
            expected.insert(file.name);
        for (const auto& entry : fs::directory_iterator(program_))
            EXPECT_TRUE(expected.contains(entry.path().filename().string()))
                << entry.path().filename() << " survived the next start";
    }

    // Kills kRunsPerPhase runs at moments drawn uniformly from [from, to].
    void KillBetween(Clock::duration from, Clock::duration to) {
        std::uniform_int_distribution<int64_t> moment(
            std::chrono::duration_cast<std::chrono::microseconds>(from).count(),
            std::chrono::duration_cast<std::chrono::microseconds>(to).count());
        // The first run that fails ends the phase: its trace holds what is needed to repeat it.
        for (int run = 0; run < kRunsPerPhase && !HasFailure(); ++run)
            KillAndRestart(std::chrono::microseconds(moment(random_)), run);
        std::cout << caughtInDownload_ << " kills caught the list download in flight\n";
    }

    TempDir dir_;
    TempDir site_;
    std::optional<TestServer> server_;
    fs::path program_;
    std::vector<OwnedFile> owned_;
    uint32_t seed_ = 0;
    std::mt19937 random_;
    Clock::duration startUp_{};
    Clock::duration requested_{};
    Clock::duration finished_{};
    int caughtInDownload_ = 0;
};

TEST_F(SigkillTest, DuringStartUpLeavesEachFileOldOrNewAndTheNextStartSucceeds) {
    ASSERT_NO_FATAL_FAILURE(MeasureUndisturbedRun());
    KillBetween(Clock::duration::zero(), startUp_ + startUp_ / 4);
}

TEST_F(SigkillTest, DuringServerListDownloadLeavesEachFileOldOrNewAndTheNextStartSucceeds) {
    ASSERT_NO_FATAL_FAILURE(MeasureUndisturbedRun());
    KillBetween(std::min(startUp_, requested_), finished_ + (finished_ - requested_) / 4);
}

} // namespace
