#pragma once
// The update flow in this process on the headless backend: a prepared main window over a
// temporary program directory holding the real LiveUpdate.dll and a fresh "update.pub", a
// release tree made by the operator's tools and served on 127.0.0.1, the update worker started
// as WinMain starts it, and a replaceable clock so the 15000 ms windows pass on demand.
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "launcher/launcher.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"

namespace testing_support {

using Files = std::map<std::string, std::string>;

class UpdateFlow : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The installed game: written into the program directory and kept as the release's OLD.
    void Install(const Files& files);
    // Publishes the step from the installed game to `fresh` (NEW) into the served tree.
    void Publish(const Files& fresh, const std::string& version,
                 const std::string& launcherVersion);
    // Installs Game10 and publishes the step to Game11 at launcher version 1.
    void PublishStep();
    void StartServer(const std::vector<std::string>& rules = {});
    // Writes "Do.ini" with the three update addresses (CDN, first, second), creates and prepares
    // the main window, chooses a server and starts the update worker.
    void StartLauncher(const std::string& cdn, const std::string& first, const std::string& second);
    // Serves the release with `rules` and starts the launcher with the manifest as first address.
    void StartWithManifest(const std::vector<std::string>& rules = {});
    // Runs the message loop until the update worker has ended (true) or WM_QUIT was taken
    // (false); each pass calls `each`. Fails the test after 60 s.
    bool RunUntilUpdateWorkerEnds(const std::function<void()>& each = {});
    // Moves the clock past both 15000 ms windows.
    void PassTimeLimits() { skew += 20000; }

    // The program directory without the launcher's own files (and without its download
    // directory "temp" unless withTemp).
    std::vector<std::string> GameTree(bool withTemp = true) const;
    void ExpectGameIs(const Files& files, const std::filesystem::path& dir,
                      bool withTemp = true) const;
    bool EnterGameEnabled() const;
    std::string Log() const { return ReadFile(game / "run.log"); }

    TempDir game;
    TempDir work;
    std::unique_ptr<TestServer> server;
    LauncherFrameWnd* frame = nullptr;
    std::atomic<uint32_t> skew{0};
    bool chooseServer = true; // a complete server choice before the update worker starts
    std::vector<float> progress;
};

// A small installed game at 1.0 and its 1.1 with changed, added and deleted files, a new
// directory and a changed index file.
Files Game10();
Files Game11();

} // namespace testing_support
