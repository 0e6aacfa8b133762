// Mouse input through a real headless window to controls, and the notifications that follow.
#include <gtest/gtest.h>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "tests/platform/duilib/test_window.h"

namespace {

using namespace DuiLib;
using duilib_test::TestWindow;
using Senders = std::vector<std::wstring>;

const char* const kSkin = R"(<Window size="300,200">
  <Container name="Root" pos="0,0,300,200">
    <Control name="Filler"/>
    <Button name="Ok" pos="10,10,60,30"/>
    <Button name="Other" pos="70,10,120,30"/>
    <Button name="Off" pos="130,10,180,30" enabled="false"/>
    <Container name="Box" pos="190,10,290,30"><Button name="Inner" pos="0,0,50,20"/></Container>
    <Option name="Toggle" pos="10,40,60,60"/>
    <Option name="A" pos="70,40,120,60" group="g" selected="true"/>
    <Option name="B" pos="130,40,180,60" group="g"/>
    <List name="List" pos="10,70,110,190" itemheight="20"/>
  </Container>
</Window>)";

class PaintManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        hwnd = window.CreateAt(nullptr, 100, 100, 0, 0);
        ASSERT_NE(hwnd, nullptr);
        Headless::PumpMessages(); // windowinit
    }
    CControlUI* Find(const wchar_t* name) { return window.manager.FindControl(name); }
    void Mouse(UINT message, const wchar_t* over) {
        const RECT pos = Find(over)->GetPos();
        Headless::SendMouse(hwnd, message,
                            {(pos.left + pos.right) / 2, (pos.top + pos.bottom) / 2});
    }

    duilib_test::SkinDirectory skins{{"test.xml", kSkin}};
    TestWindow window{"main", L"test.xml"};
    HWND hwnd = nullptr;
};

TEST_F(PaintManagerTest, WindowInitArrivesOnceOnTheNextTurnOfTheLoop) {
    TestWindow second("second", L"test.xml");
    ASSERT_NE(second.CreateAt(nullptr, 0, 0, 0, 0), nullptr);
    EXPECT_TRUE(second.SendersOf(L"windowinit").empty()); // not inside Create
    EXPECT_TRUE(Headless::PumpMessages());
    second.ResizeClient(320, 240);
    Headless::PumpMessages();
    EXPECT_EQ(second.SendersOf(L"windowinit"), Senders{L"Root"});
}

TEST_F(PaintManagerTest, ClickComesOnButtonUpOverTheControlThatGotTheDown) {
    Mouse(WM_LBUTTONDOWN, L"Ok");
    EXPECT_TRUE(window.SendersOf(L"click").empty());
    Mouse(WM_LBUTTONUP, L"Ok");
    EXPECT_EQ(window.SendersOf(L"click"), Senders{L"Ok"});
    // Released over another button, pressed elsewhere first, or disabled in between: no click.
    Mouse(WM_LBUTTONDOWN, L"Ok");
    Mouse(WM_LBUTTONUP, L"Other");
    Mouse(WM_LBUTTONDOWN, L"Filler");
    Mouse(WM_LBUTTONUP, L"Other");
    Mouse(WM_LBUTTONUP, L"Other");
    Mouse(WM_LBUTTONDOWN, L"Ok");
    Find(L"Ok")->SetEnabled(false);
    Mouse(WM_LBUTTONUP, L"Ok");
    EXPECT_EQ(window.SendersOf(L"click"), Senders{L"Ok"});
}

TEST_F(PaintManagerTest, DisabledOrHiddenControlsGetNoClick) {
    EXPECT_TRUE(Headless::Click(hwnd, L"Off"));
    Find(L"Box")->SetEnabled(false); // a disabled container disables what it holds
    EXPECT_TRUE(Headless::Click(hwnd, L"Inner"));
    Find(L"Box")->SetEnabled(true);
    Find(L"Box")->SetVisible(false);
    EXPECT_FALSE(Headless::Click(hwnd, L"Inner"));
    EXPECT_EQ(window.manager.FindControl(POINT{195, 15}), Find(L"Filler"));
    EXPECT_TRUE(window.SendersOf(L"click").empty());
    Find(L"Box")->SetVisible(true);
    EXPECT_TRUE(Headless::Click(hwnd, L"Inner"));
    EXPECT_EQ(window.SendersOf(L"click"), Senders{L"Inner"});
}

TEST_F(PaintManagerTest, OptionReportsItsOldStateDuringClickAndTogglesAfter) {
    Senders seen; // name, then "+" when selected at the time of the click
    window.onNotify = [&](TNotifyUI& msg) {
        if (msg.sType != L"click")
            return;
        const auto* option = static_cast<COptionUI*>(msg.pSender);
        seen.push_back(option->GetName().str() + (option->IsSelected() ? L"+" : L"-"));
    };
    for (const wchar_t* name : {L"Toggle", L"Toggle", L"B", L"B"})
        Headless::Click(hwnd, name);
    EXPECT_EQ(seen, (Senders{L"Toggle-", L"Toggle+", L"B-", L"B+"}));
    // Alone an option toggles; in a group a click selects, and the other option lets go.
    EXPECT_FALSE(static_cast<COptionUI*>(Find(L"Toggle"))->IsSelected());
    EXPECT_TRUE(static_cast<COptionUI*>(Find(L"B"))->IsSelected());
    EXPECT_FALSE(static_cast<COptionUI*>(Find(L"A"))->IsSelected());
}

// Records what the item's event delegate saw; its answer decides whether the press goes on.
struct DelegateLog {
    static inline std::vector<std::pair<int, CControlUI*>> events;
    static inline bool letThrough = true;
    static bool OnItemEvent(void* param) {
        const auto* event = static_cast<TEventUI*>(param);
        events.emplace_back(event->Type, event->pSender);
        return letThrough;
    }
};

TEST_F(PaintManagerTest, ListItemDelegatesRunFirstAndCanStopTheItemClick) {
    auto* list = static_cast<CListUI*>(Find(L"List"));
    std::vector<CListLabelElementUI*> items;
    for (const wchar_t* text : {L"first", L"second"}) {
        auto* item = new CListLabelElementUI;
        ASSERT_TRUE(list->Add(item));
        item->SetName(text);
        item->OnEvent += MakeDelegate(&DelegateLog::OnItemEvent);
        items.push_back(item);
    }
    DelegateLog::letThrough = false;
    Headless::Click(hwnd, L"second");
    ASSERT_EQ(DelegateLog::events.size(), 2u); // button down, then button up
    EXPECT_EQ(DelegateLog::events[0].first, UIEVENT_BUTTONDOWN);
    EXPECT_EQ(DelegateLog::events[0].second, items[1]);
    EXPECT_EQ(list->GetCurSel(), -1);
    EXPECT_TRUE(window.SendersOf(L"itemclick").empty());

    DelegateLog::letThrough = true;
    Headless::Click(hwnd, L"second");
    EXPECT_EQ(list->GetCurSel(), 1);
    EXPECT_EQ(window.SendersOf(L"itemclick"), Senders{L"second"});
    Headless::Click(hwnd, L"first");
    EXPECT_FALSE(items[1]->IsSelected());
}

// A notifier that closes and frees the window ends the notification round safely.
TEST(PaintManagerLifetimeTest, NotifierMayDestroyTheWindowDuringAClick) {
    duilib_test::SkinDirectory skins{{"test.xml", kSkin}};
    auto* window = new TestWindow("doomed", L"test.xml");
    window->deleteOnFinalMessage = true;
    const HWND hwnd = window->CreateAt(nullptr, 0, 0, 0, 0);
    ASSERT_NE(hwnd, nullptr);
    TestWindow later("later"); // a notifier after the one that destroys
    window->manager.AddNotifier(&later);
    window->onNotify = [hwnd](TNotifyUI& msg) {
        if (msg.sType == L"click")
            DestroyWindow(hwnd);
    };
    Headless::PumpMessages();
    EXPECT_EQ(later.notifications.size(), 1u); // windowinit
    EXPECT_TRUE(Headless::Click(hwnd, L"Toggle"));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(later.notifications.size(), 1u);
    EXPECT_EQ(duilib_test::Journal().back(), "doomed:deleted");
}

} // namespace
