#pragma once
// The launcher run in the test's own process through WinMain, on the headless backend.
#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "duilib/ui_thread.h"
#include "duilib/window.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/winmain.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_for.h"

namespace testing_support {

// Runs WinMain from dir on this thread; once the main window is prepared, runs onPrepared on the
// UI thread (with the frame, or null when none came up within 20 s) and quits through the message
// loop as a closed window would.
inline void RunUntilPrepared(const TempDir& dir,
                             const std::function<void(LauncherFrameWnd*)>& onPrepared,
                             const char* screen = "1024x768") {
    setenv("LAUNCHER_SCREEN", screen, 1);
    std::atomic<bool> ended{false};
    std::thread watcher([&] {
        WaitFor(
            [&] {
                const LauncherFrameWnd* frame = TheLauncherFrame.load();
                return ended || (frame != nullptr && frame->WindowPrepared);
            },
            20000);
        if (ended)
            return;
        DuiLib::PostToUiThread([&] {
            onPrepared(TheLauncherFrame.load());
            DuiLib::PostQuitMessage(0);
        });
    });
    EXPECT_EQ(WinMain(dir.wide().c_str(), nullptr, "", 0), 0);
    ended = true;
    watcher.join();
}

} // namespace testing_support
