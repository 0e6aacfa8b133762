// The end of a run through WinMain: the network library is torn down only when every worker has
// stopped, never under one that is still running.
#include <atomic>
#include <dlfcn.h>

#include <gtest/gtest.h>

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

TEST(ShutDown, NetworkLibraryIsCleanedUpAfterWorkersStopped) {
    TempDir dir;
    fs::copy_file(BinDir() / "bt.dat", dir / "bt.dat");
    RunUntilPrepared(dir, [](LauncherFrameWnd*) {});
    EXPECT_EQ(networkCleanups.load(), 1);
}

TEST(ShutDown, NetworkLibraryIsLeftAloneUnderAWorkerThatDidNotStop) {
    TempDir dir;
    fs::copy_file(BinDir() / "bt.dat", dir / "bt.dat");
    bool started = false;
    RunUntilPrepared(dir, [&](LauncherFrameWnd*) {
        auto* worker = new MyThread(&releaseStuckWorker, RunUntilReleased);
        started = worker->Create(0) == wxTHREAD_NO_ERROR && worker->Run() == wxTHREAD_NO_ERROR;
    });
    ASSERT_TRUE(started);
    EXPECT_EQ(networkCleanups.load(), 0);
    EXPECT_EQ(RunningWorkers(), 1);
    releaseStuckWorker = true;
}
