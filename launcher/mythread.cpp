#include "launcher/mythread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include <wx/debug.h>

#include "launcher/minidumper.h"

namespace {
std::mutex workersMutex;
std::condition_variable workersGone;
int workersAlive = 0;
std::atomic<bool> stopRequested{false};

void WorkerGone() {
    std::lock_guard<std::mutex> lock(workersMutex);
    --workersAlive;
    workersGone.notify_all();
}

// Destroyed when the system thread ends, after the library's own clean-up of the thread: only
// then may shut-down go on and tear the library down.
struct WorkerExitNotice {
    ~WorkerExitNotice() { WorkerGone(); }
};

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

bool StopWorkersAndWait(unsigned timeoutMs) {
    std::unique_lock<std::mutex> lock(workersMutex);
    stopRequested = true;
    return workersGone.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [] { return workersAlive == 0; });
}

int RunningWorkers() {
    std::lock_guard<std::mutex> lock(workersMutex);
    return workersAlive;
}
