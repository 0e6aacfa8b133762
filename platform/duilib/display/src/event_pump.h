#pragma once
// wxWidgets GTK started by hand under DuiLib's own message loop: the loop waits by running GTK's
// main context, and work posted to DuiLib also runs inside GTK's own nested loops (modal dialogs,
// menus, the web view), which never return to DuiLib's loop while they run.
#include <atomic>
#include <chrono>

class wxEventLoopBase;

namespace DuiLib::display {

class EventPump {
public:
    // UI thread: initialises wxWidgets with a GUI application object. False when no display can
    // be opened.
    bool Start();
    // UI thread, once, after the last window: pairs Start's initialisation, so wxWidgets frees
    // its modules, image handlers, pending windows and the application object itself.
    void Stop();
    // UI thread: runs GTK events until Wake is called or the timeout passes.
    void WaitForWork(std::chrono::milliseconds timeout);
    // Any thread.
    void Wake();

private:
    static int RunPostedWork(void* pump);

    wxEventLoopBase* loop_ = nullptr; // from Start to Stop
    std::atomic<bool> woken_{false};
    std::atomic<bool> pumpScheduled_{false};
};

} // namespace DuiLib::display
