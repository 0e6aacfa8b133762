#pragma once
// A detached worker thread that runs one plain function with one pointer argument, then deletes
// itself. At shut-down the launcher asks the workers to stop and waits for them, so no worker
// outlives the main window.
#include <wx/thread.h>

class MyThread : public wxThread {
public:
    using ThreadFunction = void (*)(void*);

    MyThread(void* threadParam, ThreadFunction threadFunction);
    ~MyThread() override;

protected:
    ExitCode Entry() override;
    void OnExit() override;

private:
    void* param;
    ThreadFunction fun;
    bool entered = false;
};

// Counts a thread the launcher did not start as a MyThread (a module's callback thread, a
// download's thread) as a worker while the scope lives, so StopWorkersAndWait waits for it too.
// Open one at the entry of every callback that may run on such a thread. Once shut-down has
// begun no new scope is counted: Counted() is false and the callback must return at once,
// touching nothing of the launcher.
class WorkerScope {
public:
    WorkerScope();
    ~WorkerScope();
    WorkerScope(const WorkerScope&) = delete;
    WorkerScope& operator=(const WorkerScope&) = delete;

    bool Counted() const { return counted; }

private:
    bool counted = false;
};

// Polled by worker loops: true once shut-down has begun.
bool WorkersShouldStop();
// Sets the stop flag and waits up to timeoutMs for every worker's system thread to end; false
// when some were still running.
bool StopWorkersAndWait(unsigned timeoutMs);
// Number of MyThread objects alive and WorkerScopes counted.
int RunningWorkers();
