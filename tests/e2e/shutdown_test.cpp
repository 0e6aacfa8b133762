// The end of a run through WinMain: the network library is torn down only when every worker has
// stopped, never under one that is still running.
#include <atomic>
#include <chrono>
#include <dlfcn.h>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "duilib/ui_thread.h"
#include "duilib/window.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/mythread.h"
#include "launcher/winmain.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

std::atomic<int> networkCleanups{0};

// Stands for a worker stuck in a transfer: it ignores the stop flag until released.
std::atomic<bool> releaseStuckWorker{false};
void RunUntilReleased(void*) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!releaseStuckWorker && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// Runs WinMain on this thread; once the window is prepared, calls onPrepared (on the UI thread)
// and quits through the message loop.
void RunLauncherUntilPrepared(const TempDir& dir, std::function<void()> onPrepared) {
    std::thread watcher([&] {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < giveUp) {
            LauncherFrameWnd* frame = TheLauncherFrame.load();
            if (frame != nullptr && frame->WindowPrepared)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        DuiLib::PostToUiThread([&] {
            onPrepared();
            DuiLib::PostQuitMessage(0);
        });
    });
    EXPECT_EQ(WinMain(dir.wide().c_str(), nullptr, "", 0), 0);
    watcher.join();
}

} // namespace

// The launcher's calls reach this definition first; the library's own clean-up still runs.
extern "C" void curl_global_cleanup() {
    ++networkCleanups;
    using Cleanup = void (*)();
    if (auto next = reinterpret_cast<Cleanup>(dlsym(RTLD_NEXT, "curl_global_cleanup")))
        next();
}

TEST(ShutDown, NetworkLibraryIsCleanedUpAfterWorkersStopped) {
    TempDir dir;
    fs::copy_file(BinDir() / "bt.dat", dir.path() / "bt.dat");
    RunLauncherUntilPrepared(dir, [] {});
    EXPECT_EQ(networkCleanups.load(), 1);
}

TEST(ShutDown, NetworkLibraryIsLeftAloneUnderAWorkerThatDidNotStop) {
    TempDir dir;
    fs::copy_file(BinDir() / "bt.dat", dir.path() / "bt.dat");
    bool started = false;
    RunLauncherUntilPrepared(dir, [&] {
        auto* worker = new MyThread(&releaseStuckWorker, RunUntilReleased);
        started = worker->Create(0) == wxTHREAD_NO_ERROR && worker->Run() == wxTHREAD_NO_ERROR;
    });
    ASSERT_TRUE(started);
    EXPECT_EQ(networkCleanups.load(), 0);
    EXPECT_EQ(RunningWorkers(), 1);
    releaseStuckWorker = true;
}
