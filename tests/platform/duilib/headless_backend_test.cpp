// The headless backend: choosing it, the screen it reports, recorded dialogs and browsers, and
// injected clicks.
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

#include "backend.h" // the seam a display backend implements
#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "system/display.h"
#include "tests/platform/duilib/child_process.h"
#include "tests/platform/duilib/test_window.h"

namespace {

using namespace DuiLib;
using duilib_test::ChildProcess;
using duilib_test::SkinDirectory;
using duilib_test::TestWindow;

// Runs the backend choice in a fresh process: exit code 0 headless, 1 display; 2 when the
// display factory was called.
int ChooseInChild(const char* forced, const char* display, bool registerDisplay,
                  std::string* errors) {
    ChildProcess child([=](int) {
        forced ? setenv("LAUNCHER_BACKEND", forced, 1) : unsetenv("LAUNCHER_BACKEND");
        display ? setenv("DISPLAY", display, 1) : unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        static bool factoryCalled = false;
        if (registerDisplay) {
            // No display backend in this program: the factory cannot make one.
            RegisterDisplayBackend([] {
                factoryCalled = true;
                return std::unique_ptr<WindowBackend>();
            });
        }
        const BackendKind kind = InitBackend();
        if (factoryCalled)
            return 2;
        return kind == BackendKind::Headless ? 0 : 1;
    });
    const int status = child.Wait();
    *errors = child.Stderr();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(HeadlessBackendTest, ChosenUnlessADisplayBackendIsRegisteredAndUsable) {
    std::string errors;
    EXPECT_EQ(ChooseInChild("headless", ":0", true, &errors), 0);
    EXPECT_EQ(errors, "");
    EXPECT_EQ(ChooseInChild(nullptr, nullptr, true, &errors), 0); // no display to open
    EXPECT_EQ(ChooseInChild(nullptr, ":0", false, &errors), 0);   // nothing registered
    EXPECT_EQ(errors, "");
    // Asked for a display that cannot be had: headless, with a note.
    EXPECT_EQ(ChooseInChild("display", nullptr, false, &errors), 0);
    EXPECT_NE(errors.find("headless"), std::string::npos);
    EXPECT_EQ(ChooseInChild(nullptr, ":0", true, &errors), 2);
    EXPECT_EQ(ChooseInChild("display", nullptr, true, &errors), 2);
}

TEST(HeadlessBackendTest, ScreenComesFromTheEnvironmentAndItsDepthCannotChange) {
    setenv("LAUNCHER_SCREEN", "800x600x16", 1);
    EXPECT_EQ(InitBackend(), BackendKind::Headless);
    platform::DisplayMode mode = platform::CurrentDisplayMode();
    EXPECT_EQ(mode.width, 800);
    EXPECT_EQ(mode.height, 600);
    EXPECT_EQ(mode.bitsPerPixel, 16);
    mode.bitsPerPixel = 32;
    EXPECT_FALSE(platform::ChangeDisplayMode(mode));
    EXPECT_EQ(platform::CurrentDisplayMode().bitsPerPixel, 16);
    EXPECT_EQ(GetMonitorWorkArea(nullptr).right, 800);

    setenv("LAUNCHER_SCREEN", "1280x720", 1);
    EXPECT_EQ(platform::CurrentDisplayMode().width, 1280);
    EXPECT_EQ(platform::CurrentDisplayMode().bitsPerPixel, 32);
    for (const char* broken : {"wide", "1280x", "x720", "1280x720x", "0x720", "1280x720x32x1"}) {
        setenv("LAUNCHER_SCREEN", broken, 1);
        EXPECT_EQ(platform::CurrentDisplayMode().width, 1024) << broken;
        EXPECT_EQ(platform::CurrentDisplayMode().height, 768) << broken;
    }
    unsetenv("LAUNCHER_SCREEN");
}

TEST(HeadlessBackendTest, MessageBoxesAreRecordedAndAnswered) {
    InitBackend();
    TestWindow owner("owner");
    owner.CreateAt(nullptr, 0, 0, 10, 10);
    EXPECT_EQ(MessageBox(owner.GetHWND(), L"text", L"caption", MB_OK), IDOK);
    EXPECT_EQ(MessageBox(nullptr, L"sure?", L"", MB_YESNO | MB_ICONERROR), IDYES);
    Headless::SetMessageBoxHandler([](const Headless::MessageBoxRecord& box) {
        return box.text == L"again?" ? IDNO : IDCANCEL;
    });
    // From a worker the box still opens on the UI thread.
    int fromWorker = 0;
    std::thread worker([&] {
        fromWorker = MessageBox(nullptr, L"again?", L"", MB_YESNO);
        PostQuitMessage(0);
    });
    CPaintManagerUI::MessageLoop();
    worker.join();
    EXPECT_EQ(fromWorker, IDNO);

    const std::vector<Headless::MessageBoxRecord> boxes = Headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].owner, owner.GetHWND());
    EXPECT_EQ(boxes[0].text, L"text");
    EXPECT_EQ(boxes[0].caption, L"caption");
    EXPECT_EQ(boxes[1].type, MB_YESNO | MB_ICONERROR);
    EXPECT_EQ(boxes[2].text, L"again?");
}

TEST(HeadlessBackendTest, BrowserNavigationsAreRecordedPerWindow) {
    SkinDirectory skins{{"web.xml", R"(<Window size="100,100"><ActiveX name="IE"/></Window>)"}};
    HWND hwnd = nullptr;
    {
        TestWindow panel("panel", L"web.xml");
        hwnd = panel.CreateAt(nullptr, 0, 0, 0, 0);
        auto* host = static_cast<CActiveXUI*>(panel.manager.FindControl(L"IE"));
        IWebBrowser* browser = host->GetControl();
        ASSERT_NE(browser, nullptr);
        browser->put_Silent(true);
        EXPECT_TRUE(browser->Navigate(L"http://127.0.0.1/left.html"));
        browser->Release();
        // Releasing the interface leaves the control's browser in place.
        ASSERT_EQ(host->GetControl(), browser);
        host->GetControl()->Navigate(L"http://127.0.0.1/again.html");
        EXPECT_TRUE(Headless::IsBrowserSilent(hwnd));
    }
    EXPECT_EQ(
        Headless::Navigations(hwnd),
        (std::vector<std::wstring>{L"http://127.0.0.1/left.html", L"http://127.0.0.1/again.html"}));

    // A control that has no window yet has no browser either.
    CPaintManagerUI loose;
    CDialogBuilder builder;
    loose.AttachDialog(builder.Create(L"web.xml", nullptr, nullptr, &loose));
    EXPECT_EQ(static_cast<CActiveXUI*>(loose.FindControl(L"IE"))->GetControl(), nullptr);
}

TEST(HeadlessBackendTest, ClickActivatesFirstAndMovesTheCursor) {
    SkinDirectory skins{{"box.xml", R"(<Window size="200,100"><Button name="Ok" pos="10,10,50,30"/>
                                       </Window>)"}};
    TestWindow first("first", L"box.xml");
    TestWindow second("second", L"box.xml");
    first.CreateAt(nullptr, 100, 200, 0, 0);
    second.CreateAt(nullptr, 400, 200, 0, 0);
    ASSERT_EQ(Headless::ActiveWindow(), second.GetHWND());

    first.messages.clear();
    ASSERT_TRUE(Headless::Click(first.GetHWND(), L"Ok"));
    EXPECT_EQ(first.messages, (std::vector<UINT>{WM_MOUSEACTIVATE, WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_EQ(Headless::ActiveWindow(), first.GetHWND());
    POINT cursor;
    ASSERT_TRUE(GetCursorPos(&cursor));
    EXPECT_EQ(cursor.x, 130);
    EXPECT_EQ(cursor.y, 220);

    first.messages.clear();
    Headless::Click(first.GetHWND(), L"Ok"); // already active
    EXPECT_EQ(first.messages, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_EQ(first.CountOf(L"click"), 2);

    // Hidden or disabled windows take no clicks; neither do missing controls.
    EXPECT_FALSE(Headless::Click(first.GetHWND(), L"Missing"));
    EnableWindow(first.GetHWND(), false);
    EXPECT_FALSE(Headless::Click(first.GetHWND(), L"Ok"));
    EXPECT_TRUE(EnableWindow(first.GetHWND(), true)); // it was disabled
    second.ShowWindow(false);
    EXPECT_FALSE(Headless::Click(second.GetHWND(), L"Ok"));
    EXPECT_EQ(first.CountOf(L"click"), 2);
    EXPECT_EQ(second.CountOf(L"click"), 0);
}

TEST(HeadlessBackendTest, RoundRegionIsRecorded) {
    InitBackend();
    TestWindow window("main");
    const HWND hwnd = window.CreateAt(nullptr, 0, 0, 100, 80);
    SetWindowRoundRegion(hwnd, RECT{0, 0, 101, 81}, SIZE{8, 6});
    EXPECT_EQ(Headless::Windows()[0].roundCorner.cx, 8);
    EXPECT_EQ(Headless::Windows()[0].roundCorner.cy, 6);
}

} // namespace
