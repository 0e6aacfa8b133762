// Window lifecycle on the headless backend: creation, placement, the default window procedure
// and destruction.
#include <gtest/gtest.h>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "tests/platform/duilib/test_window.h"

namespace {

using namespace DuiLib;
using duilib_test::Journal;
using duilib_test::TestWindow;
using Steps = std::vector<std::string>;

std::vector<int> WindowRect(HWND hwnd) {
    RECT rc;
    GetWindowRect(hwnd, &rc);
    return {rc.left, rc.top, rc.right, rc.bottom};
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { Journal().clear(); }
    duilib_test::SkinDirectory skins{{"small.xml", R"(<Window size="300,200">
                                           <Button name="Ok" pos="10,10,60,30"/></Window>)"}};
};

TEST_F(WindowTest, CreateShowsTheWindowAtTheSkinsSizeAndTheSystemMenuWorks) {
    TestWindow window("main", L"small.xml");
    bool visibleDuringCreate = true;
    window.onMessage = [&](UINT uMsg, WPARAM, LPARAM, LRESULT&) {
        if (uMsg == WM_CREATE)
            visibleDuringCreate = IsWindowVisible(window.GetHWND());
        return false;
    };
    const HWND hwnd =
        window.Create(nullptr, L"Title", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 50, 60, 800, 572);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(window.messages.front(), WM_CREATE);
    EXPECT_FALSE(visibleDuringCreate);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(Headless::ActiveWindow(), hwnd);
    EXPECT_EQ(Headless::Windows().at(0).title, L"Title");

    SendMessage(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(hwnd));
    SendMessage(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(hwnd));
    EXPECT_EQ(WindowRect(hwnd), (std::vector<int>{50, 60, 350, 260})); // the skin's size wins
    SendMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(window.GetHWND(), nullptr);
}

TEST_F(WindowTest, DestroyingAWindowDestroysItsOwnedPopupsFirstAndFreesEachOnce) {
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
    const Steps expected{"nested:WM_DESTROY", "nested:WM_NCDESTROY", "nested:final",
                         "nested:deleted",    "popup:WM_DESTROY",    "popup:WM_NCDESTROY",
                         "popup:final",       "popup:deleted",       "main:WM_DESTROY",
                         "main:WM_NCDESTROY", "main:final",          "main:deleted"};
    EXPECT_EQ(Journal(), expected);
    EXPECT_TRUE(Headless::Windows().empty());
    // Whatever still aims at the windows goes nowhere.
    EXPECT_TRUE(Headless::PumpMessages());
    EXPECT_FALSE(DestroyWindow(mainHwnd));
    EXPECT_EQ(SendMessage(popupHwnd, WM_USER, 0, 0), 0);
    EXPECT_EQ(Journal(), expected);
}

TEST_F(WindowTest, FreeingTheObjectFirstTakesItsWindowAlongQuietly) {
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
    EXPECT_EQ(Journal(), (Steps{"main:deleted", "popup:WM_DESTROY", "popup:WM_NCDESTROY",
                                "popup:final", "popup:deleted"}));
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
    EXPECT_EQ(Journal(), (Steps{"broken:WM_DESTROY", "broken:WM_NCDESTROY", "broken:final"}));
}

} // namespace
