// The main window on the headless backend: its skin per screen size, hit testing, system
// commands, moving its children and releasing them.
#include <gtest/gtest.h>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/screen_layout.h"
#include "launcher/ui/update_wnd.h"
#include "launcher/ui/web_panels.h"
#include "tests/launcher/prepared_frame.h"

using namespace DuiLib;
using namespace testing_support;

TEST(ScreenSizeMode, FollowsTheDesktopSize) {
    const int cases[][3] = {{1024, 768, 0}, {1920, 1080, 0}, {1023, 768, 1}, {1024, 767, 1},
                            {1280, 720, 1}, {800, 720, 2},   {801, 719, 2},  {800, 600, 2}};
    for (const auto& [width, height, mode] : cases)
        EXPECT_EQ(ScreenSizeModeFor(width, height), mode) << width << "x" << height;
}

class FrameWindow : public PreparedFrame {
protected:
    void SetUp() override { Start(); }

    LRESULT HitTest(POINT client) {
        const RECT window = WindowRectOf(hwnd);
        return frame->SendMessage(WM_NCHITTEST, 0,
                                  MakePointParam(window.left + client.x, window.top + client.y));
    }
};

TEST_F(FrameWindow, BuildsItsSkinWithoutCaptionStyleAndFindsItsControls) {
    EXPECT_EQ(GetWindowStyle(hwnd) & WS_CAPTION, 0u);
    EXPECT_NE(GetWindowStyle(hwnd) & WS_CLIPCHILDREN, 0u);
    for (CControlUI* control : {frame->LogoCtrl, frame->CloseBtn, frame->MinBtn, frame->WebBtn,
                                frame->RegisterBtn, frame->RechargeBtn, frame->ForumBtn,
                                frame->GameSetBtn, frame->EnterGameBtn, frame->CustServiceBtn})
        EXPECT_NE(control, nullptr);
    const SIZE skin = frame->PaintManager.GetInitSize();
    const RECT rc = WindowRectOf(hwnd);
    EXPECT_EQ(rc.right - rc.left, skin.cx);
    EXPECT_EQ(rc.bottom - rc.top, skin.cy);
}

TEST_F(FrameWindow, DragsByCaptionBandButNotOverButtons) {
    const RECT caption = frame->PaintManager.GetCaptionRect();
    ASSERT_LT(caption.top, caption.bottom);
    int captionHits = 0;
    RECT client;
    GetClientRect(hwnd, &client);
    for (int y = caption.top; y < caption.bottom; y += 3) {
        for (int x = client.left + caption.left; x < client.right - caption.right; x += 7) {
            CControlUI* control = frame->PaintManager.FindControl(POINT{x, y});
            if (control == nullptr)
                continue;
            const std::wstring cls = control->GetClass();
            const bool clickable = cls == L"ButtonUI" || cls == L"OptionUI" || cls == L"TextUI";
            EXPECT_EQ(HitTest({x, y}), clickable ? HTCLIENT : HTCAPTION) << x << "," << y;
            captionHits += clickable ? 0 : 1;
        }
    }
    EXPECT_GT(captionHits, 0);
    // Below the band everything is client area.
    EXPECT_EQ(HitTest({client.left + caption.left + 1, caption.bottom + 1}), HTCLIENT);
}

TEST_F(FrameWindow, CaptionDoubleClickDoesNotMaximiseAndCloseQuits) {
    frame->SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE_FROM_CAPTION, 0);
    EXPECT_FALSE(IsZoomed(hwnd));
    frame->SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_FALSE(Headless::PumpMessages());
}

TEST_F(FrameWindow, MovingTheFrameMovesItsChildrenAndReleaseFreesThemOnce) {
    const HWND newsHwnd = frame->NewsWnd->GetHWND();
    SetWindowPos(hwnd, nullptr, 100, 50, -1, -1, SWP_NOSIZE | SWP_NOZORDER);
    const RECT rc = WindowRectOf(newsHwnd);
    EXPECT_EQ(rc.left, 100 + frame->LayoutTable[LayoutNews].x);
    EXPECT_EQ(rc.top, 50 + frame->LayoutTable[LayoutNews].y);

    frame->ReleaseChildren();
    EXPECT_EQ(frame->NewsWnd, nullptr);
    EXPECT_FALSE(IsWindow(newsHwnd));
    EXPECT_EQ(frame->LogTarget.load(), nullptr);
}

TEST_F(FrameWindow, ChildrenDestroyedWithTheFrameWindowAreForgotten) {
    ASSERT_NE(frame->TopWnd, nullptr);
    ASSERT_NE(frame->UpdateWnd.load(), nullptr);
    DestroyWindow(hwnd);
    EXPECT_EQ(frame->TopWnd, nullptr);
    EXPECT_EQ(frame->UpdateWnd.load(), nullptr); // the release at exit must not free it again
}
