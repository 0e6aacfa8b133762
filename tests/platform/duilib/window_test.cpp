// Window lifecycle on the headless backend: creation, placement, the default window procedure
// and destruction.
#include <gtest/gtest.h>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "tests/platform/duilib/test_window.h"

namespace {

using namespace DuiLib;
using duilib_test::Journal;
using duilib_test::SkinDirectory;
using duilib_test::TestWindow;

std::vector<int> Edges(const RECT& rc) {
    return {rc.left, rc.top, rc.right, rc.bottom};
}

RECT WindowRect(HWND hwnd) {
    RECT rc;
    GetWindowRect(hwnd, &rc);
    return rc;
}

class WindowTest : public ::testing::Test {
protected:
    SkinDirectory skins{{"small.xml", R"(<Window size="300,200" roundcorner="4,4">
                                           <Button name="Ok" pos="10,10,60,30"/></Window>)"}};
};

TEST_F(WindowTest, CreateHandlesWmCreateInsideThenShowsTheWindow) {
    TestWindow window("main", L"small.xml");
    bool visibleDuringCreate = true;
    window.onMessage = [&](UINT uMsg, WPARAM, LPARAM, LRESULT&) {
        if (uMsg == WM_CREATE)
            visibleDuringCreate = IsWindowVisible(window.GetHWND());
        return false;
    };
    const HWND hwnd =
        window.Create(nullptr, L"Title", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 800, 572);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(window.GetHWND(), hwnd);
    ASSERT_FALSE(window.messages.empty());
    EXPECT_EQ(window.messages.front(), WM_CREATE);
    EXPECT_FALSE(visibleDuringCreate);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(Headless::ActiveWindow(), hwnd);
    EXPECT_EQ(Headless::PaintManagerOf(hwnd), &window.manager);
    EXPECT_EQ(Headless::WindowObject(hwnd), &window);
    EXPECT_EQ(Headless::FindWindowByClass(L"TestWindow"), hwnd);

    // The skin's size wins over the size given to Create.
    EXPECT_EQ(Edges(WindowRect(hwnd)), (std::vector<int>{0, 0, 300, 200}));
    const std::vector<Headless::WindowRecord> records = Headless::Windows();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].title, L"Title");
    EXPECT_EQ(records[0].className, L"TestWindow");
    EXPECT_EQ(records[0].parent, nullptr);
    EXPECT_EQ(records[0].style, WS_VISIBLE | WS_OVERLAPPEDWINDOW);

    // The launcher's windows drop the caption; the record keeps what they set.
    SetWindowStyle(hwnd, (GetWindowStyle(hwnd) & ~WS_CAPTION) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    EXPECT_EQ(GetWindowStyle(hwnd), 0x160F0000u);
    EXPECT_EQ(Headless::Windows()[0].style, 0x160F0000u);
}

TEST_F(WindowTest, WindowWithoutVisibleStyleStaysHidden) {
    TestWindow window("hidden", L"small.xml");
    ASSERT_NE(window.CreateAt(nullptr, 5, 5, 0, 0, WS_POPUP), nullptr);
    EXPECT_FALSE(IsWindowVisible(window.GetHWND()));
    EXPECT_EQ(GetWindowStyle(window.GetHWND()) & WS_VISIBLE, 0u);
    window.ShowWindow(true, true);
    EXPECT_TRUE(IsWindowVisible(window.GetHWND()));
    EXPECT_NE(GetWindowStyle(window.GetHWND()) & WS_VISIBLE, 0u);
}

TEST_F(WindowTest, MovesAndSizesAreReportedAsThePlatformWould) {
    TestWindow window("main", L"small.xml");
    std::vector<std::pair<UINT, LPARAM>> placement;
    window.onMessage = [&](UINT uMsg, WPARAM, LPARAM lParam, LRESULT&) {
        if (uMsg == WM_MOVE || uMsg == WM_SIZE)
            placement.emplace_back(uMsg, lParam);
        return false;
    };
    const HWND hwnd = window.CreateAt(nullptr, 50, 60, 800, 572);
    ASSERT_NE(hwnd, nullptr);
    const std::vector<std::pair<UINT, LPARAM>> created{{WM_SIZE, MakePointParam(300, 200)},
                                                       {WM_MOVE, MakePointParam(50, 60)}};
    EXPECT_EQ(placement, created);
    EXPECT_EQ(Edges(WindowRect(hwnd)), (std::vector<int>{50, 60, 350, 260}));

    placement.clear();
    SetWindowPos(hwnd, nullptr, -20, 30, -1, -1, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_EQ(placement.size(), 1u);
    EXPECT_EQ(placement[0].first, WM_MOVE);
    EXPECT_EQ(SignedLowWord(placement[0].second), -20);
    EXPECT_EQ(SignedHighWord(placement[0].second), 30);

    placement.clear();
    SetWindowPos(hwnd, nullptr, -20, 30, -1, -1, SWP_NOSIZE); // no change, no message
    window.ResizeClient(320, -1);
    const std::vector<std::pair<UINT, LPARAM>> resized{{WM_SIZE, MakePointParam(320, 200)}};
    EXPECT_EQ(placement, resized);
    RECT client;
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    EXPECT_EQ(Edges(client), (std::vector<int>{0, 0, 320, 200}));
    POINT pt{0, 40};
    ASSERT_TRUE(ScreenToClient(hwnd, &pt));
    EXPECT_EQ(pt.x, 20);
    EXPECT_EQ(pt.y, 10);
}

TEST_F(WindowTest, CenterWindowUsesTheOwnerElseTheScreen) {
    TestWindow main("main", L"small.xml");
    ASSERT_NE(main.CreateAt(nullptr, 0, 0, 0, 0), nullptr);
    main.CenterWindow(); // 1024 x 768 by default
    EXPECT_EQ(Edges(WindowRect(main.GetHWND())), (std::vector<int>{362, 284, 662, 484}));

    TestWindow popup("popup");
    ASSERT_NE(popup.CreateAt(main.GetHWND(), 0, 0, 100, 50), nullptr);
    popup.CenterWindow();
    EXPECT_EQ(Edges(WindowRect(popup.GetHWND())), (std::vector<int>{462, 359, 562, 409}));
    EXPECT_EQ(Headless::Windows()[1].parent, main.GetHWND());
}

TEST_F(WindowTest, DefaultProcedureHandlesSystemCommands) {
    TestWindow window("main", L"small.xml");
    const HWND hwnd = window.CreateAt(nullptr, 10, 20, 0, 0);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(SendMessage(hwnd, WM_NCHITTEST, 0, MakePointParam(15, 25)), HTCLIENT);
    EXPECT_EQ(SendMessage(hwnd, WM_MOUSEACTIVATE, 0, 0), MA_ACTIVATE);

    SendMessage(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(hwnd));
    SendMessage(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(hwnd));

    // Zoomed windows fill what WM_GETMINMAXINFO allows, and go back when restored.
    window.onMessage = [](UINT uMsg, WPARAM, LPARAM lParam, LRESULT&) {
        if (uMsg == WM_GETMINMAXINFO)
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMaxSize = POINT{1000, 700};
        return false;
    };
    SendMessage(hwnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_TRUE(IsZoomed(hwnd));
    EXPECT_EQ(Edges(WindowRect(hwnd)), (std::vector<int>{0, 0, 1000, 700}));
    SendMessage(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsZoomed(hwnd));
    EXPECT_EQ(Edges(WindowRect(hwnd)), (std::vector<int>{10, 20, 310, 220}));

    SendMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(window.GetHWND(), nullptr);
}

TEST_F(WindowTest, DestroyingAWindowDestroysItsOwnedPopupsFirstAndFreesEachOnce) {
    Journal().clear();
    auto* main = new TestWindow("main", L"small.xml");
    auto* popup = new TestWindow("popup");
    auto* nested = new TestWindow("nested");
    for (TestWindow* window : {main, popup, nested})
        window->deleteOnFinalMessage = true;
    const HWND mainHwnd = main->CreateAt(nullptr, 0, 0, 0, 0);
    const HWND popupHwnd = popup->CreateAt(mainHwnd, 0, 0, 10, 10);
    nested->CreateAt(popupHwnd, 0, 0, 10, 10);
    PostMessage(popupHwnd, WM_USER, 0, 0); // lands after the window is gone

    EXPECT_TRUE(DestroyWindow(mainHwnd));
    const std::vector<std::string> expected{
        "nested:WM_DESTROY", "nested:WM_NCDESTROY", "nested:final", "nested:deleted",
        "popup:WM_DESTROY",  "popup:WM_NCDESTROY",  "popup:final",  "popup:deleted",
        "main:WM_DESTROY",   "main:WM_NCDESTROY",   "main:final",   "main:deleted"};
    EXPECT_EQ(Journal(), expected);
    EXPECT_TRUE(Headless::Windows().empty());

    // Whatever still aims at the windows goes nowhere.
    EXPECT_TRUE(Headless::PumpMessages());
    EXPECT_FALSE(DestroyWindow(mainHwnd));
    EXPECT_FALSE(PostMessage(popupHwnd, WM_USER, 0, 0));
    EXPECT_EQ(SendMessage(popupHwnd, WM_USER, 0, 0), 0);
    EXPECT_EQ(Journal().size(), expected.size());
}

TEST_F(WindowTest, FreeingTheObjectFirstTakesItsWindowAlongQuietly) {
    Journal().clear();
    HWND mainHwnd = nullptr;
    HWND popupHwnd = nullptr;
    {
        TestWindow main("main", L"small.xml");
        mainHwnd = main.CreateAt(nullptr, 0, 0, 0, 0);
        auto* popup = new TestWindow("popup");
        popup->deleteOnFinalMessage = true;
        popupHwnd = popup->CreateAt(mainHwnd, 0, 0, 10, 10);
    }
    EXPECT_FALSE(IsWindow(mainHwnd));
    EXPECT_FALSE(IsWindow(popupHwnd));
    // The popup went the normal way; the freed object heard nothing more.
    const std::vector<std::string> expected{"main:deleted", "popup:WM_DESTROY",
                                            "popup:WM_NCDESTROY", "popup:final", "popup:deleted"};
    EXPECT_EQ(Journal(), expected);
}

TEST_F(WindowTest, CloseIsPostedAndFailedCreationLeavesNoWindow) {
    TestWindow window("main", L"small.xml");
    const HWND hwnd = window.CreateAt(nullptr, 0, 0, 0, 0);
    window.Close();
    EXPECT_TRUE(IsWindow(hwnd));
    Headless::PumpMessages();
    EXPECT_FALSE(IsWindow(hwnd));

    Journal().clear();
    TestWindow broken("broken", L"no-such-skin.xml"); // WM_CREATE answers -1
    EXPECT_EQ(broken.CreateAt(nullptr, 0, 0, 0, 0), nullptr);
    EXPECT_TRUE(Headless::Windows().empty());
    EXPECT_EQ(Journal(), (std::vector<std::string>{"broken:WM_DESTROY", "broken:WM_NCDESTROY",
                                                   "broken:final"}));
}

} // namespace
