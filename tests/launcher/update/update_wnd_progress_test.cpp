// The update window's progress display, on controls built by hand as the skin would place them:
// the percent text, the bar's value and the marker riding along the bar; and the hand-over of
// worker progress to the UI thread.
#include <filesystem>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "duilib/backend.h"
#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/ui/update_wnd.h"
#include "launcher/update/progress.h"
#include "launcher/update/progress_observer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_for.h"

using namespace DuiLib;

namespace {

// A bar at x 10, 300 wide, maximum 1000; the marker 20 wide at y 50.
class UpdateProgress : public ::testing::Test {
protected:
    void SetUp() override {
        bar.SetFixedXY(SIZE{10, 40});
        bar.SetFixedWidth(300);
        bar.SetMaxValue(1000);
        marker.SetFixedXY(SIZE{0, 50});
        marker.SetFixedWidth(20);
        window.ProgressTxt = &text;
        window.ProgressCtrl = &bar;
        window.ProgressImg = &marker;
    }

    CTextUI text;
    CProgressUI bar;
    CControlUI marker;
    UIUpdateWnd window{nullptr};
};

TEST_F(UpdateProgress, PercentIsTruncatedForTextAndBarAndTheMarkerRidesFiveLeftOfTheBar) {
    const struct {
        float percent;
        const wchar_t* text;
        int value;
        int markerLeft;
    } cases[] = {
        {0.0f, L"0%", 0, 5},
        {33.33f, L"33%", 333, 104},
        {99.9f, L"99%", 999, 304},
        {100.0f, L"100%", 1000, 305},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.percent);
        window.SetProgress(c.percent);
        EXPECT_EQ(text.GetText(), c.text);
        EXPECT_EQ(bar.GetValue(), c.value);
        const RECT& pos = marker.GetPos();
        EXPECT_EQ(pos.left, c.markerLeft);
        EXPECT_EQ(pos.right - pos.left, 20); // the marker keeps its width and its row
        EXPECT_EQ(pos.top, 50);
    }
    window.MoveProgressImg(0.5f);
    EXPECT_EQ(marker.GetPos().left, 155);
    EXPECT_EQ(bar.GetValue(), 1000); // the marker alone moves
}

// A package unpacked to more than 4 GiB (sparse files: the sizes are real, the disk stays
// empty): the counters hold the whole bytes and the share is exact.
TEST(InstallCount, TotalsPastFourGibibytesShowTheirTrueShare) {
    constexpr uint64_t kGiB = uint64_t{1} << 30;
    testing_support::TempDir dir;
    testing_support::WriteFile(dir / "big/part1.bin", "");
    testing_support::WriteFile(dir / "part2.bin", "");
    std::filesystem::resize_file(dir / "big/part1.bin", 5 * kGiB);
    std::filesystem::resize_file(dir / "part2.bin", kGiB);
    std::vector<float> shown;
    SetProgressObserver([&shown](float percent) { shown.push_back(percent); });
    LauncherFrameWnd frame;

    ASSERT_TRUE(StartInstallCount(frame, dir.wide()));
    EXPECT_EQ(frame.InstallTotal.load(), 6 * kGiB);
    EXPECT_EQ(frame.InstallDone.load(), 0u);
    AddInstalled(frame, kGiB + kGiB / 2);
    AddInstalled(frame, 1);
    AddInstalled(frame, 3 * kGiB - 1);
    EXPECT_EQ(frame.InstallDone.load(), 4 * kGiB + kGiB / 2);
    AddInstalled(frame, kGiB + kGiB / 2);
    EXPECT_EQ(shown, (std::vector<float>{25.0f, 25.0f, 75.0f, 100.0f}));
    EXPECT_EQ(frame.InstallDone.load(), 6 * kGiB);

    // A small package counts bytes as they are; what cannot be walked counts nothing.
    testing_support::WriteFile(dir / "small/a.txt", std::string(1000, 'a'));
    ASSERT_TRUE(StartInstallCount(frame, dir.wide() + L"small"));
    EXPECT_EQ(frame.InstallTotal.load(), 1000u);
    AddInstalled(frame, 250);
    EXPECT_EQ(frame.InstallDone.load(), 250u);
    EXPECT_EQ(shown.back(), 25.0f);
    EXPECT_FALSE(StartInstallCount(frame, dir.wide() + L"missing"));
    EXPECT_EQ(frame.InstallTotal.load(), 0u);
    SetProgressObserver({});
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

    testing_support::WaitFor([&] {
        Headless::PumpMessages();
        return text.GetText() == L"50%";
    });
    EXPECT_EQ(text.GetText(), L"50%");
    EXPECT_EQ(bar.GetValue(), 500);

    frame.UpdateWnd = nullptr;
    TheLauncherFrame = nullptr;
}

} // namespace
