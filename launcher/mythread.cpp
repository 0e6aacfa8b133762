#include "launcher/mythread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>
#include <wx/debug.h>

#include "launcher/minidumper.h"
#include "system/processes.h"

namespace {
std::mutex workersMutex;
std::condition_variable workersGone;
int workersAlive = 0;
std::atomic<bool> stopRequested{false};
// Threads of MyThreads that counted themselves gone but may still be on their way out.
std::vector<pid_t> endingThreads;

void WorkerGone(pid_t endingThread = 0) {
    std::lock_guard<std::mutex> lock(workersMutex);
    --workersAlive;
    if (endingThread > 0) {
        std::erase_if(endingThreads,
                      [](pid_t tid) { return !platform::ThreadOfThisProcessRuns(tid); });
        endingThreads.push_back(endingThread);
    }
    workersGone.notify_all();
}

// Destroyed when the system thread ends, after the toolkit's own clean-up of the thread: only
// then may shut-down go on and tear the toolkit down. The C library frees the thread's keyed
// storage (the toolkit's and the TLS library's per-thread state) after this, so shut-down also
// waits for the thread itself to be gone.
struct WorkerExitNotice {
    ~WorkerExitNotice() { WorkerGone(gettid()); }
};

// Waits, until deadline, for the threads that counted themselves gone to end.
void WaitForEndingThreads(std::unique_lock<std::mutex>& lock,
                          std::chrono::steady_clock::time_point deadline) {
    std::vector<pid_t> ending;
    ending.swap(endingThreads);
    lock.unlock();
    for (const pid_t tid : ending) {
        while (platform::ThreadOfThisProcessRuns(tid) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace

MyThread::MyThread(void* threadParam, ThreadFunction threadFunction)
    : wxThread(wxTHREAD_DETACHED), param(threadParam), fun(threadFunction) {
    wxASSERT(param);
    wxASSERT(fun);
    std::lock_guard<std::mutex> lock(workersMutex);
    ++workersAlive;
}

// Runs on the worker itself after OnExit (detached), or on the creator when Create/Run failed.
MyThread::~MyThread() {
    if (!entered)
        WorkerGone();
}

wxThread::ExitCode MyThread::Entry() {
    entered = true;
    thread_local WorkerExitNotice exitNotice;
    // Its own signal stack, so even a stack overflow here reaches the crash filter.
    PrepareCrashStack();
    if (fun)
        fun(param);
    return param;
}

void MyThread::OnExit() {}

// The stop flag is read under the lock that StopWorkersAndWait sets it under: a scope is either
// counted before the wait begins or not counted at all.
WorkerScope::WorkerScope() {
    std::lock_guard<std::mutex> lock(workersMutex);
    if (stopRequested.load())
        return;
    ++workersAlive;
    counted = true;
}

WorkerScope::~WorkerScope() {
    if (counted)
        WorkerGone();
}

bool WorkersShouldStop() {
    return stopRequested.load();
}

const std::atomic<bool>& WorkerStopFlag() {
    return stopRequested;
}

bool StopWorkersAndWait(unsigned timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(workersMutex);
    stopRequested = true;
    if (!workersGone.wait_until(lock, deadline, [] { return workersAlive == 0; }))
        return false;
    // Past their last use of the launcher: a thread still ending does not fail the stop.
    WaitForEndingThreads(lock, deadline);
    return true;
}

int RunningWorkers() {
    std::lock_guard<std::mutex> lock(workersMutex);
    return workersAlive;
}
