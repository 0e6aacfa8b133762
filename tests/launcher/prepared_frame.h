#pragma once
// The main window created and prepared in a temporary program directory on the headless
// backend, as after its first "windowinit": the five child windows exist and the server-list
// worker has made its one pass (with no address to try unless the test wrote one).
#include <chrono>
#include <cstdlib>

#include <gtest/gtest.h>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/mythread.h"
#include "tests/support/program_dir.h"
#include "tests/support/wait_for.h"

namespace testing_support {

// Pumps the UI queue until no worker runs (at most 20 s): a worker may be waiting for the UI
// thread to run what it handed over.
inline void PumpUntilWorkersEnd() {
    WaitFor(
        [] {
            DuiLib::Headless::PumpMessages();
            return RunningWorkers() == 0;
        },
        20000);
}

// Ends the frame's workers as shut-down does.
inline void StopFrameWorkers() {
    StopWorkersAndWait(0);
    PumpUntilWorkersEnd();
}

// Creates the main window as WinMain does and runs its preparation to the end of the
// server-list worker's pass, so that nothing runs beside the windows under test. Null on failure.
inline LauncherFrameWnd* CreatePreparedFrame() {
    auto* frame = new LauncherFrameWnd();
    TheLauncherFrame = frame;
    if (frame->Create(nullptr, L"t", DuiLib::WS_VISIBLE | DuiLib::WS_OVERLAPPEDWINDOW, 0, 40, 30,
                      800, 572) == nullptr)
        return frame;
    DuiLib::Headless::PumpMessages();
    EXPECT_TRUE(frame->WindowPrepared);
    PumpUntilWorkersEnd();
    EXPECT_EQ(RunningWorkers(), 0);
    return frame;
}

// Stops the workers, then releases and destroys what CreatePreparedFrame made.
inline void DestroyFrame(LauncherFrameWnd* frame) {
    if (frame == nullptr)
        return;
    StopFrameWorkers();
    const DuiLib::HWND hwnd = frame->GetHWND();
    frame->ReleaseChildren();
    if (DuiLib::IsWindow(hwnd))
        DuiLib::DestroyWindow(hwnd);
    TheLauncherFrame = nullptr;
    delete frame;
}

class PreparedFrame : public ::testing::Test {
protected:
    // Files the test wants in the program directory go there before Start; a "bt.dat" of the
    // test's own is kept, else the built one is copied.
    void Start(const char* screen = "1024x768") {
        setenv("LAUNCHER_SCREEN", screen, 1);
        UseProgramDirectory(dir, !std::filesystem::exists(dir / "bt.dat"));
        if (!std::filesystem::exists(dir / "resolution.ini"))
            WriteFile(dir / "resolution.ini", "[Setting]\nFullScreen=1\nResolution=2\n");
        if (!std::filesystem::exists(dir / "version.ini"))
            WriteFile(dir / "version.ini", "[Version]\nVersion=1.0\nLVersion=1.0\n");
        frame = CreatePreparedFrame();
        hwnd = frame->GetHWND();
        ASSERT_NE(hwnd, nullptr);
    }
    void TearDown() override { DestroyFrame(frame); }

    DuiLib::RECT WindowRectOf(DuiLib::HWND window) {
        DuiLib::RECT rc{};
        DuiLib::GetWindowRect(window, &rc);
        return rc;
    }

    TempDir dir;
    LauncherFrameWnd* frame = nullptr;
    DuiLib::HWND hwnd = nullptr;
};

} // namespace testing_support
