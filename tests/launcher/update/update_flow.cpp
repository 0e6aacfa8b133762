#include "tests/launcher/update/update_flow.h"

#include <algorithm>
#include <mutex>
#include <thread>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "launcher/globals.h"
#include "launcher/mythread.h"
#include "launcher/update/progress_observer.h"
#include "system/ticks.h"
#include "tests/launcher/prepared_frame.h"
#include "tests/scripts/command.h"
#include "tests/support/program_dir.h"
#include "tests/support/zip_maker.h"

namespace fs = std::filesystem;

namespace testing_support {

namespace {

const fs::path kScripts = LAUNCHER_SCRIPTS_DIR;
// Written by the launcher or the test, never part of a release.
const std::vector<std::string> kLauncherFiles = {
    "Do.ini", "LiveUpdate.dll", "bt.dat", "resolution.ini", "run.log", "update.pub", "zel.ini"};

// Scripts in a release are programs: they keep their execute bit through the package.
void WriteGameFile(const fs::path& file, const std::string& bytes) {
    WriteFile(file, bytes);
    if (bytes.starts_with("#!"))
        fs::permissions(file, fs::perms::owner_exec, fs::perm_options::add);
}

uint32_t ClockTicks() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

} // namespace

Files Game10() {
    return {{"version.ini", "[Version]\nVersion=1.0\nLVersion=1\n"},
            {"same.txt", "same"},
            {"changed.txt", "old"},
            {"sub/gone.txt", "gone"},
            {"sub/keep.txt", "keep"},
            {"data/archive.i", std::string(136, 'h') + "old entries"}};
}

Files Game11() {
    return {{"version.ini", "[Version]\nVersion=1.1\nLVersion=1\n"},
            {"same.txt", "same"},
            {"changed.txt", "new"},
            {"sub/keep.txt", "keep"},
            {"sub/added.txt", "added"},
            {"data/archive.i", std::string(136, 'h') + "new entries, whole"},
            {"maps/map1.txt", "a new directory"}};
}

void UpdateFlow::SetUp() {
    platform::SetTickSource([this] { return ClockTicks() + skew.load(); });
    SetProgressObserver([this](float percent) { progress.push_back(percent); });
    UseProgramDirectory(game);
    fs::copy_file(BinDir() / "LiveUpdate.dll", game / "LiveUpdate.dll");
    const CommandResult key = RunCommand({kScripts / "make-update-key", work / "key"});
    ASSERT_EQ(key.exitCode, 0) << key.output;
    fs::copy_file(work / "key/update.pub", game / "update.pub");
    WriteFile(game / "resolution.ini", "[Setting]\nFullScreen=0\nResolution=1\n");
    fs::create_directories(work / "srv");
}

void UpdateFlow::TearDown() {
    DestroyFrame(frame);
    SetProgressObserver({});
    platform::SetTickSource({});
}

void UpdateFlow::Install(const Files& files) {
    for (const auto& [path, bytes] : files) {
        WriteGameFile(game / path, bytes);
        WriteGameFile(work / "old" / path, bytes);
    }
}

void UpdateFlow::Publish(const Files& fresh, const std::string& version,
                         const std::string& launcherVersion) {
    fs::remove_all(work / "new");
    fs::create_directories(work / "new");
    for (const auto& [path, bytes] : fresh)
        WriteGameFile(work / "new" / path, bytes);
    const CommandResult run =
        RunCommand({kScripts / "publish-update", "--key", work / "key/update.key", "--installed",
                    work / "old", "--new", work / "new", "--version", version, "--launcher-version",
                    launcherVersion, "--out", work / "srv"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
}

void UpdateFlow::PublishStep() {
    Install(Game10());
    Publish(Game11(), "1.1", "1");
}

void UpdateFlow::StartWithManifest(const std::vector<std::string>& rules) {
    StartServer(rules);
    StartLauncher("", server->Url("/manifest.xml"), "");
}

void UpdateFlow::StartServer(const std::vector<std::string>& rules) {
    server = std::make_unique<TestServer>(work / "srv", rules);
}

void UpdateFlow::StartLauncher(const std::string& cdn, const std::string& first,
                               const std::string& second) {
    WriteFile(game / "Do.ini", "[Addr]\nCDNUpdateVersionUrl=" + cdn + "\nUpdateVersionUrl1=" +
                                   first + "\nUpdateVersionUrl2=" + second + "\n");
    // The server-list worker has no address: its one pass ends before the update worker starts,
    // so the button's last word is the update side's.
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

bool UpdateFlow::RunUntilUpdateWorkerEnds(const std::function<void()>& each) {
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

std::vector<std::string> UpdateFlow::GameTree(bool withTemp) const {
    std::vector<std::string> tree = ListTree(game.path());
    std::erase_if(tree, [withTemp](const std::string& path) {
        return std::find(kLauncherFiles.begin(), kLauncherFiles.end(), path) !=
                   kLauncherFiles.end() ||
               (!withTemp && (path == "temp" || path.starts_with("temp/")));
    });
    return tree;
}

void UpdateFlow::ExpectGameIs(const Files& files, const fs::path& dir, bool withTemp) const {
    EXPECT_EQ(GameTree(withTemp), ListTree(dir));
    for (const auto& [path, bytes] : files)
        EXPECT_EQ(ReadFile(game / path), bytes) << path;
}

bool UpdateFlow::EnterGameEnabled() const {
    return frame->EnterGameBtn != nullptr && frame->EnterGameBtn->IsEnabled();
}

} // namespace testing_support
