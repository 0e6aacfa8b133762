// The pop-ups around the main window on the headless backend: where preparation puts them, what
// the web panels show, how the drop-down sizes itself, and the settings dialog.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "duilib/ui_thread.h"
#include "launcher/config/setting_config.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/mythread.h"
#include "launcher/ui/server_list_wnd.h"
#include "launcher/ui/update_wnd.h"
#include "launcher/ui/web_panels.h"
#include "tests/launcher/prepared_frame.h"

using namespace DuiLib;
using namespace testing_support;

// Each screen-size mode in a process of its own: the screen is read once per process.
class PreparedFrameInEachMode : public PreparedFrame,
                                public ::testing::WithParamInterface<const char*> {};

INSTANTIATE_TEST_SUITE_P(Screens, PreparedFrameInEachMode,
                         ::testing::Values("1024x768", "1280x720", "800x600"));

TEST_P(PreparedFrameInEachMode, ChildrenSitAtTheirLayoutOffsetsAndThePanelsShowTheModesPages) {
    Start(GetParam());
    const RECT main = WindowRectOf(hwnd);
    const std::pair<HWND, LayoutSlot> children[] = {
        {frame->NewsWnd->GetHWND(), LayoutNews},
        {frame->News2Wnd->GetHWND(), LayoutNews2},
        {frame->TopWnd->GetHWND(), LayoutTop},
        {frame->UpdateWnd.load()->GetHWND(), LayoutUpdate},
        {frame->ServerListWnd->GetHWND(), LayoutServerList},
    };
    std::vector<HWND> order;
    for (const Headless::WindowRecord& record : Headless::Windows())
        if (record.parent == hwnd)
            order.push_back(record.hwnd);
    ASSERT_EQ(order.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(order[i], children[i].first) << i;
        const RECT rc = WindowRectOf(children[i].first);
        const LayoutOffset& offset = frame->LayoutTable[children[i].second];
        if (children[i].second != LayoutServerList) {
            EXPECT_EQ(rc.left, main.left + offset.x) << i;
            EXPECT_EQ(rc.top, main.top + offset.y) << i;
        }
        EXPECT_EQ(GetWindowStyle(children[i].first) & WS_CAPTION, 0u) << i;
    }
    EXPECT_TRUE(IsWindowVisible(frame->NewsWnd->GetHWND()));
    EXPECT_FALSE(IsWindowVisible(frame->ServerListWnd->GetHWND()));

    // The web panels show their pages silently; only the smallest mode has pages of its own.
    const bool small = std::string(GetParam()) == "800x600";
    const std::pair<UIWebPanelWnd*, wxString> panels[] = {
        {frame->NewsWnd, small ? frame->Left600Url : frame->LeftUrl},
        {frame->News2Wnd, small ? frame->Right600Url : frame->RightUrl},
        {frame->TopWnd, small ? frame->Top600Url : frame->TopUrl},
    };
    for (const auto& [panel, url] : panels) {
        const std::vector<std::wstring> pages = Headless::Navigations(panel->GetHWND());
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(pages[0], url.ToStdWstring());
        EXPECT_TRUE(Headless::IsBrowserSilent(panel->GetHWND()));
        EXPECT_EQ(Headless::BrowserErrorPage(panel->GetHWND()), frame->Web404Url.ToStdWstring());
    }
}

TEST_F(PreparedFrame, DropDownGrowsUpwardByItsRowCount) {
    Start("1024x768");
    UIServerListWnd* dropDown = frame->ServerListWnd;
    ASSERT_NE(dropDown->List, nullptr);
    const int base = frame->LayoutTable[LayoutUpdate].y;
    const RECT main = WindowRectOf(hwnd);
    // items -> height of the client area
    const std::pair<int, int> cases[] = {{0, 0}, {1, 31}, {5, 139}, {7, 139}};
    for (const auto& [items, height] : cases) {
        SCOPED_TRACE(items);
        dropDown->List->RemoveAll();
        for (int i = 0; i < items; ++i) {
            auto* item = new CListLabelElementUI();
            item->SetText((L"s" + std::to_wstring(i)).c_str());
            dropDown->List->Add(item);
        }
        dropDown->AdjustPosition();
        EXPECT_EQ(frame->LayoutTable[LayoutServerList].y, base - height + 46);
        RECT client;
        GetClientRect(dropDown->GetHWND(), &client);
        EXPECT_EQ(client.bottom - client.top, height);
        EXPECT_EQ(WindowRectOf(dropDown->GetHWND()).top, main.top + base - height + 46);
        // The skin's rows are the rows the window is sized for: the last one shown ends
        // 2 px above the window's bottom edge, inside its frame.
        if (items != 0) {
            const int last = std::min(items, 5) - 1;
            EXPECT_EQ(dropDown->List->GetItemAt(last)->GetPos().bottom, height - 2);
        }
    }
}

TEST_F(PreparedFrame, DropDownRowsAreTheListsOwnItemHeight) {
    Start("1024x768");
    UIServerListWnd* dropDown = frame->ServerListWnd;
    ASSERT_NE(dropDown->List, nullptr);
    // A skin that changes the row height changes nothing else: the window follows the list.
    dropDown->List->SetAttribute(L"itemheight", L"30");
    dropDown->List->RemoveAll();
    for (int i = 0; i < 3; ++i)
        dropDown->List->Add(new CListLabelElementUI());
    dropDown->AdjustPosition();
    RECT client;
    GetClientRect(dropDown->GetHWND(), &client);
    EXPECT_EQ(client.bottom - client.top, 3 * 30 + 4);
    EXPECT_EQ(frame->LayoutTable[LayoutServerList].y,
              frame->LayoutTable[LayoutUpdate].y - (3 * 30 + 4) + 46);
}

namespace {

// Runs action on the dialog once it is open (inside the modal loops), re-posting itself until
// then.
void WhenDialogOpen(std::function<void(HWND)> action) {
    PostToUiThread([action] {
        HWND dialog = Headless::FindWindowByClass(L"UIGameSettingFrame");
        if (dialog == nullptr)
            WhenDialogOpen(action);
        else
            action(dialog);
    });
}

} // namespace

TEST_F(PreparedFrame, SettingsDialogOpensModalOverItsBackdropAndOkStoresTheResolution) {
    Start("1024x768");
    bool mainEnabledWhileOpen = true;
    bool gameSetEnabledWhileOpen = true;
    bool storedSelected = false;
    bool windowedSelected = true;
    WhenDialogOpen([&](HWND dialog) {
        mainEnabledWhileOpen = IsWindowEnabled(hwnd);
        gameSetEnabledWhileOpen = frame->GameSetBtn->IsEnabled();
        CPaintManagerUI* manager = Headless::PaintManagerOf(dialog);
        storedSelected =
            static_cast<COptionUI*>(manager->FindControl(L"pel1280_800"))->IsSelected();
        windowedSelected =
            static_cast<COptionUI*>(manager->FindControl(L"FullScreenOption"))->IsSelected();
        EXPECT_TRUE(Headless::Click(dialog, L"pel1024_768"));
        EXPECT_TRUE(Headless::Click(dialog, L"OkBtn"));
    });
    ASSERT_TRUE(Headless::Click(hwnd, L"GameSetBtn"));
    EXPECT_FALSE(mainEnabledWhileOpen);
    EXPECT_FALSE(gameSetEnabledWhileOpen);
    EXPECT_TRUE(storedSelected);
    EXPECT_FALSE(windowedSelected);
    EXPECT_TRUE(frame->GameSetBtn->IsEnabled());
    EXPECT_EQ(Headless::FindWindowByClass(L"UIGameSettingFrame"), nullptr);
    EXPECT_EQ(Headless::FindWindowByClass(L"UIBackGround"), nullptr);
    EXPECT_EQ(ReadFile(dir.path() / "resolution.ini"),
              "[Setting]\nFullScreen=1\nResolution=1\nVoice=1\n");
}

// No stored resolution: the first one is selected and OK stores it as "0".
TEST_F(PreparedFrame, OkWithoutAStoredResolutionStoresTheFirst) {
    WriteFile(dir.path() / "resolution.ini", "[Setting]\nFullScreen=0\nResolution=\n");
    Start("1024x768");
    bool firstSelected = false;
    WhenDialogOpen([&](HWND dialog) {
        firstSelected =
            static_cast<COptionUI*>(Headless::PaintManagerOf(dialog)->FindControl(L"pel800_600"))
                ->IsSelected();
        EXPECT_TRUE(Headless::Click(dialog, L"OkBtn"));
    });
    ASSERT_TRUE(Headless::Click(hwnd, L"GameSetBtn"));
    EXPECT_TRUE(firstSelected);
    EXPECT_EQ(ReadFile(dir.path() / "resolution.ini"),
              "[Setting]\nFullScreen=0\nResolution=0\nVoice=1\n");
}

TEST_F(PreparedFrame, CancelDropsThePickedResolutionButKeepsAFullScreenToggleInMemory) {
    Start("800x600");
    WhenDialogOpen([&](HWND dialog) {
        EXPECT_TRUE(Headless::Click(dialog, L"pel800_600"));
        EXPECT_TRUE(Headless::Click(dialog, L"FullScreenOption"));
        EXPECT_TRUE(Headless::Click(dialog, L"CancelBtn"));
    });
    ASSERT_TRUE(Headless::Click(hwnd, L"GameSetBtn"));
    EXPECT_EQ(ReadFile(dir.path() / "resolution.ini"), "[Setting]\nFullScreen=1\nResolution=2\n");
    EXPECT_FALSE(SettingConfig::Instance()->FullScreen);
    EXPECT_EQ(SettingConfig::Instance()->Resolution, L"2");
}

// The backdrop opens at its mode's offset and ends exactly where the web panels' frames end on
// the right and at the bottom: it dims the panels, not the update panel below them.
TEST_P(PreparedFrameInEachMode, BackdropOpensAtItsOffsetAndEndsWithThePanelsFrames) {
    Start(GetParam());
    const std::string screen = GetParam();
    const POINT offset = screen == "800x600"    ? POINT{130, 140}
                         : screen == "1280x720" ? POINT{180, 180}
                                                : POINT{190, 200};
    RECT panels{0, 0, 0, 0};
    for (const wchar_t* name : {L"TopFrame", L"NewsFrame", L"News2Frame"}) {
        CControlUI* panelFrame = frame->PaintManager.FindControl(name);
        ASSERT_NE(panelFrame, nullptr) << name;
        panels.right = std::max(panels.right, panelFrame->GetPos().right);
        panels.bottom = std::max(panels.bottom, panelFrame->GetPos().bottom);
    }
    const RECT updateFrame = frame->PaintManager.FindControl(L"UpdateFrame")->GetPos();
    RECT backdrop{};
    WhenDialogOpen([&](HWND dialog) {
        GetWindowRect(Headless::FindWindowByClass(L"UIBackGround"), &backdrop);
        Headless::Click(dialog, L"CancelBtn");
    });
    ASSERT_TRUE(Headless::Click(hwnd, L"GameSetBtn"));
    const RECT main = WindowRectOf(hwnd);
    EXPECT_EQ(backdrop.left - main.left, offset.x);
    EXPECT_EQ(backdrop.top - main.top, offset.y);
    EXPECT_EQ(backdrop.right - main.left, panels.right);
    EXPECT_EQ(backdrop.bottom - main.top, panels.bottom);
    EXPECT_LE(backdrop.bottom - main.top, updateFrame.top);
}
