#pragma once
// The update flow in this process on the headless backend: a prepared main window over a
// temporary program directory holding the real LiveUpdate.dll and a fresh "update.pub", a
// release tree made by the operator's tools and served on 127.0.0.1, the update worker started
// as WinMain starts it, and a replaceable clock so the 15000 ms windows pass on demand.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "duilib/headless.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/mythread.h"
#include "launcher/update/progress_observer.h"
#include "system/ticks.h"
#include "tests/launcher/prepared_frame.h"
#include "tests/scripts/release_tools.h"
#include "tests/support/program_dir.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"
#include "tests/support/zip_maker.h"

namespace testing_support {

using Files = std::map<std::string, std::string>;

// A small installed game at 1.0 and its 1.1 with changed, added and deleted files, a changed
// index file and a new directory, copied whole: names that are rules elsewhere are plain files.
inline Files Game10() {
    return {{"version.ini", "[Version]\nVersion=1.0\nLVersion=1\n"},
            {"same.txt", "same"},
            {"changed.txt", "old"},
            {"sub/gone.txt", "gone"},
            {"sub/keep.txt", "keep"},
            {"data/archive.i", std::string(136, 'h') + "old entries"}};
}

inline Files Game11() {
    return {{"version.ini", "[Version]\nVersion=1.1\nLVersion=1\n"},
            {"same.txt", "same"},
            {"changed.txt", "new"},
            {"sub/keep.txt", "keep"},
            {"sub/added.txt", "added"},
            {"data/archive.i", std::string(136, 'h') + "new entries, whole"},
            {"maps/map1.txt", "a new directory"},
            {"maps/del.lst", "same.txt"},
            {"maps/login.dat", "copied with its directory"}};
}

class UpdateFlow : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetTickSource([this] {
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            return static_cast<uint32_t>(
                       std::chrono::duration_cast<std::chrono::milliseconds>(now).count()) +
                   skew.load();
        });
        SetProgressObserver([this](float percent) { progress.push_back(percent); });
        UseProgramDirectory(game);
        std::filesystem::copy_file(BinDir() / "LiveUpdate.dll", game / "LiveUpdate.dll");
        const CommandResult key = MakeUpdateKey(work / "key");
        ASSERT_EQ(key.exitCode, 0) << key.output;
        std::filesystem::copy_file(work / "key/update.pub", game / "update.pub");
        WriteFile(game / "resolution.ini", "[Setting]\nFullScreen=0\nResolution=1\n");
        std::filesystem::create_directories(work / "srv");
    }
    void TearDown() override {
        DestroyFrame(frame);
        SetProgressObserver({});
        platform::SetTickSource({});
    }

    // The installed game: written into the program directory and kept as the release's OLD.
    void Install(const Files& files) {
        for (const auto& [path, bytes] : files) {
            WriteFile(game / path, bytes);
            WriteFile(work / "old" / path, bytes);
        }
    }
    // Publishes the step from the installed game to `fresh` (NEW) into the served tree.
    void Publish(const Files& fresh, const std::string& version,
                 const std::string& launcherVersion) {
        std::filesystem::remove_all(work / "new");
        std::filesystem::create_directories(work / "new");
        for (const auto& [path, bytes] : fresh)
            WriteFile(work / "new" / path, bytes);
        PublishUpdate(work.path(), version, launcherVersion);
    }
    // Installs Game10 and publishes the step to Game11 at launcher version 1.
    void PublishStep() {
        Install(Game10());
        Publish(Game11(), "1.1", "1");
    }
    void StartServer(const std::vector<std::string>& rules = {}) {
        server = std::make_unique<TestServer>(work / "srv", rules);
    }
    // Writes "Do.ini" with the three update addresses (CDN, first, second), creates and prepares
    // the main window, chooses a server and starts the update worker. The server-list worker has
    // no address: its one pass ends before the update worker starts, so the button's last word
    // is the update side's.
    void StartLauncher(const std::string& cdn, const std::string& first,
                       const std::string& second) {
        WriteFile(game / "Do.ini", "[Addr]\nCDNUpdateVersionUrl=" + cdn + "\nUpdateVersionUrl1=" +
                                       first + "\nUpdateVersionUrl2=" + second + "\n");
        frame = CreatePreparedFrame();
        ASSERT_NE(frame->GetHWND(), nullptr);
        {
            std::lock_guard lock(SelectedServerMutex);
            SelectedServerAddr = L"10.0.0.1";
            SelectedServerPort = L"7000";
            SelectedServerChargeIp = L"c";
            SelectedServerSid = chooseServer ? L"1" : L"";
        }
        auto* worker = new MyThread(frame, &LauncherFrameWnd::LinkUpdate);
        ASSERT_EQ(worker->Create(0), wxTHREAD_NO_ERROR);
        ASSERT_EQ(worker->Run(), wxTHREAD_NO_ERROR);
    }
    // Serves the release with `rules` and starts the launcher with the manifest as first address.
    void StartWithManifest(const std::vector<std::string>& rules = {}) {
        StartServer(rules);
        StartLauncher("", server->Url("/manifest.xml"), "");
    }
    // Runs the message loop until the update worker has ended (true) or WM_QUIT was taken
    // (false); each pass calls `each`. Fails the test after 60 s.
    bool RunUntilUpdateWorkerEnds(const std::function<void()>& each = {}) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (RunningWorkers() != 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the update worker did not end";
                return true;
            }
            if (!DuiLib::Headless::PumpMessages())
                return false;
            if (each)
                each();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        DuiLib::Headless::PumpMessages();
        return true;
    }
    // Moves the clock past both 15000 ms windows.
    void PassTimeLimits() { skew += 20000; }

    // The program directory without the launcher's own files (and without its download
    // directory "temp" unless withTemp) holds what `dir` holds, and `files` as they are.
    void ExpectGameIs(const Files& files, const std::filesystem::path& dir,
                      bool withTemp = true) const {
        std::vector<std::string> tree = ListTree(game.path());
        std::erase_if(tree, [withTemp](const std::string& path) {
            return std::ranges::find(kLauncherFiles, path) != kLauncherFiles.end() ||
                   (!withTemp && (path == "temp" || path.starts_with("temp/")));
        });
        EXPECT_EQ(tree, ListTree(dir));
        for (const auto& [path, bytes] : files)
            EXPECT_EQ(ReadFile(game / path), bytes) << path;
    }
    bool EnterGameEnabled() const {
        return frame->EnterGameBtn != nullptr && frame->EnterGameBtn->IsEnabled();
    }
    std::string Log() const { return ReadFile(game / "run.log"); }

    TempDir game;
    TempDir work;
    std::unique_ptr<TestServer> server;
    LauncherFrameWnd* frame = nullptr;
    std::atomic<uint32_t> skew{0};
    bool chooseServer = true; // a complete server choice before the update worker starts
    std::vector<float> progress;

private:
    // Written by the launcher or the test, never part of a release.
    inline static const std::vector<std::string> kLauncherFiles = {
        "Do.ini", "LiveUpdate.dll", "bt.dat", "resolution.ini", "run.log", "update.pub", "zel.ini"};
};

} // namespace testing_support
