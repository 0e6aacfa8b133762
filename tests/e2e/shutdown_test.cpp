// The end of a run through WinMain: the network library is torn down only when every worker has
// stopped, never under one that is still running; wxWidgets lives as long as the main window, so
// that nothing of it is left for the leak checker at exit.
#include <atomic>
#include <csignal>
#include <dlfcn.h>

#include <gtest/gtest.h>
#include <wx/app.h>

#include "duilib/backend.h"
#include "launcher/mythread.h"
#include "tests/e2e/run_until_prepared.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

std::atomic<int> networkCleanups{0};

// Stands for a worker stuck in a transfer: it ignores the stop flag until released.
std::atomic<bool> releaseStuckWorker{false};
void RunUntilReleased(void*) {
    WaitFor([] { return releaseStuckWorker.load(); }, 30000);
}

} // namespace

// The launcher's calls reach this definition first; the library's own clean-up still runs.
extern "C" void curl_global_cleanup() {
    ++networkCleanups;
    using Cleanup = void (*)();
    if (auto next = reinterpret_cast<Cleanup>(dlsym(RTLD_NEXT, "curl_global_cleanup")))
        next();
}

// A termination signal during start-up ends the run as soon as its loop starts; WinMain still
// releases the main window, and the library with it.
TEST(WxLifetime, TheLibraryIsTornDownWithTheMainWindow) {
    TempDir dir;
    fs::copy_file(BinDir() / "bt.dat", dir / "bt.dat");
    ASSERT_EQ(DuiLib::InitBackend(), DuiLib::BackendKind::Headless);
    ASSERT_EQ(wxAppConsole::GetInstance(), nullptr);
    raise(SIGTERM);
    EXPECT_EQ(WinMain(dir.wide().c_str(), nullptr, "", 0), 0);
    EXPECT_EQ(TheLauncherFrame.load(), nullptr);
    EXPECT_EQ(wxAppConsole::GetInstance(), nullptr);
}

TEST(ShutDown, NetworkLibraryIsCleanedUpAfterWorkersStopped) {
    TempDir dir;
    RunUntilPrepared(dir, [](LauncherFrameWnd&) {});
    EXPECT_EQ(networkCleanups.load(), 1);
}

TEST(ShutDown, NetworkLibraryIsLeftAloneUnderAWorkerThatDidNotStop) {
    TempDir dir;
    bool started = false;
    RunUntilPrepared(dir, [&](LauncherFrameWnd&) {
        auto* worker = new MyThread(&releaseStuckWorker, RunUntilReleased);
        started = worker->Create(0) == wxTHREAD_NO_ERROR && worker->Run() == wxTHREAD_NO_ERROR;
    });
    ASSERT_TRUE(started);
    EXPECT_EQ(networkCleanups.load(), 0);
    EXPECT_EQ(RunningWorkers(), 1);
    releaseStuckWorker = true;
}
