// Worker threads: the function runs with its argument, the object frees itself, and shut-down
// waits for workers that watch the stop flag.
#include <atomic>
#include <chrono>
#include <thread>

#include <pthread.h>

#include <gtest/gtest.h>
#include <wx/init.h>

#include "launcher/mythread.h"
#include "tests/support/wait_for.h"

// wxInitialize without wxUninitialize, as the launcher does: a detached thread still finishing
// inside the library after its object is gone must not meet a torn-down library.
namespace {

struct Job {
    std::atomic<bool> started{false};
    std::thread::id thread;
    std::atomic<bool> keyedStorageFreed{false};
};

// Per-thread storage of the kind a library keeps under a key: the C library frees it after the
// thread's function and its thread_local objects are done, slowly here.
pthread_key_t StorageKey() {
    static const pthread_key_t key = [] {
        pthread_key_t made;
        pthread_key_create(&made, [](void* value) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            static_cast<Job*>(value)->keyedStorageFreed = true;
        });
        return made;
    }();
    return key;
}

void RunUntilStopped(void* param) {
    auto* job = static_cast<Job*>(param);
    job->thread = std::this_thread::get_id();
    pthread_setspecific(StorageKey(), job);
    job->started = true;
    while (!WorkersShouldStop())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

} // namespace

TEST(MyThread, RunsTheFunctionOnItsOwnThreadAndShutDownWaitsForIt) {
    wxInitialize();
    Job job;
    auto* thread = new MyThread(&job, RunUntilStopped);
    ASSERT_EQ(thread->Create(0), wxTHREAD_NO_ERROR);
    ASSERT_EQ(thread->Run(), wxTHREAD_NO_ERROR);
    ASSERT_TRUE(testing_support::WaitFor([&] { return job.started.load(); }));
    EXPECT_NE(job.thread, std::this_thread::get_id());
    EXPECT_EQ(RunningWorkers(), 1);
    EXPECT_TRUE(StopWorkersAndWait(5000));
    EXPECT_EQ(RunningWorkers(), 0); // the object freed itself
    // The thread is gone whole: nothing of it is still being freed while the process ends.
    EXPECT_TRUE(job.keyedStorageFreed);
}

TEST(MyThread, AnObjectThatNeverRanIsDeletedByItsCreator) {
    wxInitialize();
    Job job;
    auto* thread = new MyThread(&job, RunUntilStopped);
    EXPECT_EQ(RunningWorkers(), 1);
    delete thread;
    EXPECT_EQ(RunningWorkers(), 0);
    EXPECT_FALSE(job.started);
}

// A thread a module or a download started: counted while it holds a scope, so shut-down waits
// for it; once shut-down has begun a new scope is refused.
TEST(WorkerScope, ShutDownWaitsForAThreadTheLauncherDidNotStart) {
    std::atomic<bool> inside{false};
    std::atomic<bool> finished{false};
    std::thread callback([&] {
        WorkerScope scope;
        ASSERT_TRUE(scope.Counted());
        inside = true;
        while (!WorkersShouldStop())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        // Still finishing its work after the flag was raised.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        finished = true;
    });
    EXPECT_TRUE(testing_support::WaitFor([&] { return inside.load(); }));
    EXPECT_EQ(RunningWorkers(), 1);
    EXPECT_TRUE(StopWorkersAndWait(5000));
    EXPECT_TRUE(finished);
    callback.join();

    std::thread late([] {
        WorkerScope scope;
        EXPECT_FALSE(scope.Counted());
    });
    late.join();
    EXPECT_EQ(RunningWorkers(), 0);
}
