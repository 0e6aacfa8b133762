// The update window's progress display, on controls built by hand as the skin would place them:
// the percent text, the bar's value and the marker riding along the bar; and the hand-over of
// worker progress to the UI thread.
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "duilib/backend.h"
#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/ui/update_wnd.h"
#include "launcher/update/progress.h"

using namespace DuiLib;

namespace {

// A bar at x 10, 300 wide, maximum 1000; the marker 20 x 12 at y 50.
class UpdateProgress : public ::testing::Test {
protected:
    void SetUp() override {
        bar.SetFixedXY(SIZE{10, 40});
        bar.SetFixedWidth(300);
        bar.SetFixedHeight(8);
        bar.SetMaxValue(1000);
        marker.SetFixedXY(SIZE{0, 50});
        marker.SetFixedWidth(20);
        marker.SetFixedHeight(12);
        window.ProgressTxt = &text;
        window.ProgressCtrl = &bar;
        window.ProgressImg = &marker;
    }

    void ExpectMarkerAt(int left) const {
        const RECT& pos = marker.GetPos();
        EXPECT_EQ(pos.left, left);
        EXPECT_EQ(pos.top, 50);
        EXPECT_EQ(pos.right, left + 20);
        EXPECT_EQ(pos.bottom, 62);
    }

    CTextUI text;
    CProgressUI bar;
    CControlUI marker;
    UIUpdateWnd window{nullptr};
};

TEST_F(UpdateProgress, PercentIsTruncatedForTextAndBar) {
    window.SetProgress(33.33f);
    EXPECT_EQ(text.GetText(), L"33%");
    EXPECT_EQ(bar.GetValue(), 333);
    ExpectMarkerAt(104);

    window.SetProgress(99.9f);
    EXPECT_EQ(text.GetText(), L"99%");
    EXPECT_EQ(bar.GetValue(), 999);
}

TEST_F(UpdateProgress, MarkerSitsFivePixelsLeftOfTheBarsEnds) {
    window.SetProgress(0.0f);
    EXPECT_EQ(text.GetText(), L"0%");
    EXPECT_EQ(bar.GetValue(), 0);
    ExpectMarkerAt(5);

    window.SetProgress(100.0f);
    EXPECT_EQ(text.GetText(), L"100%");
    EXPECT_EQ(bar.GetValue(), 1000);
    ExpectMarkerAt(305);
}

TEST_F(UpdateProgress, MarkerFollowsTheFractionOfTheBar) {
    window.MoveProgressImg(0.5f);
    ExpectMarkerAt(155);
    EXPECT_EQ(bar.GetValue(), 0);
}

TEST_F(UpdateProgress, MissingControlsAreSkipped) {
    window.ProgressImg = nullptr;
    window.SetProgress(50.0f);
    EXPECT_EQ(text.GetText(), L"50%");
    EXPECT_EQ(bar.GetValue(), 500);

    window.ProgressCtrl = nullptr;
    window.ProgressImg = &marker;
    window.SetProgress(75.0f);
    EXPECT_EQ(text.GetText(), L"75%");
    EXPECT_EQ(marker.GetPos().left, 0); // no bar to ride on
}

// Workers report in bursts; the UI thread gets the newest value, and always the last one.
TEST_F(UpdateProgress, WorkerReportsReachTheWindowOnTheUiThread) {
    InitBackend();
    LauncherFrameWnd frame;
    TheLauncherFrame = &frame;
    frame.UpdateWnd = &window;

    std::thread worker([] {
        for (int percent = 1; percent <= 50; ++percent)
            ShowUpdateProgress(static_cast<float>(percent));
    });
    worker.join();
    EXPECT_EQ(text.GetText(), L""); // nothing touched off the UI thread

    // Bounded only so a broken hand-over fails instead of hanging.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (text.GetText() != L"50%" && std::chrono::steady_clock::now() < giveUp) {
        Headless::PumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(text.GetText(), L"50%");
    EXPECT_EQ(bar.GetValue(), 500);

    frame.UpdateWnd = nullptr;
    TheLauncherFrame = nullptr;
}

} // namespace
