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

// Copies the built skin into dir and runs WinMain from there on this thread, with alongside on a
// thread of its own (told through its argument once WinMain has returned); WinMain must end
// with 0.
inline void RunWinMain(const TempDir& dir,
                       const std::function<void(const std::atomic<bool>& ended)>& alongside,
                       const char* screen = "1024x768") {
    setenv("LAUNCHER_SCREEN", screen, 1);
    std::filesystem::copy_file(BinDir() / "bt.dat", dir / "bt.dat",
                               std::filesystem::copy_options::overwrite_existing);
    std::atomic<bool> ended{false};
    std::thread beside([&] { alongside(ended); });
    EXPECT_EQ(WinMain(dir.wide().c_str(), nullptr, "", 0), 0);
    ended = true;
    beside.join();
}

// Runs WinMain as above; once the main window is prepared, runs onPrepared with it on the UI
// thread and quits through the message loop as a closed window would. A main window not
// prepared within 20 s fails the test.
inline void RunUntilPrepared(const TempDir& dir,
                             const std::function<void(LauncherFrameWnd&)>& onPrepared,
                             const char* screen = "1024x768") {
    bool ran = false;
    RunWinMain(
        dir,
        [&](const std::atomic<bool>& ended) {
            WaitFor(
                [&] {
                    const LauncherFrameWnd* frame = TheLauncherFrame.load();
                    return ended || (frame != nullptr && frame->WindowPrepared);
                },
                20000);
            if (ended)
                return;
            DuiLib::PostToUiThread([&] {
                LauncherFrameWnd* frame = TheLauncherFrame.load();
                if (frame != nullptr && frame->WindowPrepared) {
                    onPrepared(*frame);
                    ran = true;
                }
                DuiLib::PostQuitMessage(0);
            });
        },
        screen);
    EXPECT_TRUE(ran) << "the main window was not prepared";
}

} // namespace testing_support
