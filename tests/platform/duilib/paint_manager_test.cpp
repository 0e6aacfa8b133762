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

// A window whose skin is attached again before the loop turns still hears one "windowinit",
// from the tree it shows; each window hears its own.
TEST_F(PaintManagerTest, WindowInitComesOncePerWindowAlsoAfterASecondAttach) {
    TestWindow second("second", L"test.xml");
    ASSERT_NE(second.CreateAt(nullptr, 0, 0, 0, 0), nullptr);
    auto* replacement = new CContainerUI();
    replacement->SetName(L"Replacement");
    ASSERT_TRUE(second.manager.AttachDialog(replacement));
    TestWindow third("third", L"test.xml");
    ASSERT_NE(third.CreateAt(nullptr, 0, 0, 0, 0), nullptr);
    Headless::PumpMessages();
    Headless::PumpMessages();
    EXPECT_EQ(second.SendersOf(L"windowinit"), Senders{L"Replacement"});
    EXPECT_EQ(third.SendersOf(L"windowinit"), Senders{L"Root"});
    EXPECT_EQ(window.SendersOf(L"windowinit"), Senders{L"Root"});
}

TEST_F(PaintManagerTest, ClickComesOnButtonUpOverTheEnabledVisibleControlThatGotTheDown) {
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

    // Disabled or hidden controls get none either.
    EXPECT_TRUE(Headless::Click(hwnd, L"Off"));
    Find(L"Box")->SetEnabled(false); // a disabled container disables what it holds
    EXPECT_TRUE(Headless::Click(hwnd, L"Inner"));
    Find(L"Box")->SetEnabled(true);
    Find(L"Box")->SetVisible(false);
    EXPECT_FALSE(Headless::Click(hwnd, L"Inner"));
    EXPECT_EQ(window.manager.FindControl(POINT{195, 15}), Find(L"Filler"));
    EXPECT_EQ(window.SendersOf(L"click"), Senders{L"Ok"});
    Find(L"Box")->SetVisible(true);
    EXPECT_TRUE(Headless::Click(hwnd, L"Inner"));
    EXPECT_EQ(window.SendersOf(L"click"), (Senders{L"Ok", L"Inner"}));
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

// Edges are exclusive: a control holds its left and top column and row, not its right and
// bottom ones. "Left" is last in the skin, so it is tried first and would take a point on its
// right or bottom edge if those counted.
TEST(PaintManagerHitTest, RightAndBottomEdgesBelongToTheNeighbour) {
    duilib_test::SkinDirectory skins{{"edges.xml", R"(<Window size="200,100">
      <Container name="Root" pos="0,0,200,100">
        <Button name="Right" pos="60,10,110,30"/>
        <Button name="Below" pos="10,30,60,50"/>
        <Button name="Left" pos="10,10,60,30"/>
      </Container></Window>)"}};
    TestWindow window("edges", L"edges.xml");
    ASSERT_NE(window.CreateAt(nullptr, 0, 0, 0, 0), nullptr);
    CPaintManagerUI& manager = window.manager;
    const auto nameAt = [&](int x, int y) {
        const CControlUI* control = manager.FindControl(POINT{x, y});
        return control != nullptr ? control->GetName().str() : std::wstring(L"(none)");
    };
    EXPECT_EQ(nameAt(10, 10), L"Left");
    EXPECT_EQ(nameAt(59, 29), L"Left");
    EXPECT_EQ(nameAt(60, 20), L"Right");
    EXPECT_EQ(nameAt(30, 30), L"Below");
    EXPECT_EQ(nameAt(60, 30), L"Root");
    EXPECT_EQ(nameAt(9, 20), L"Root");
    EXPECT_EQ(nameAt(199, 99), L"Root");
    EXPECT_EQ(nameAt(200, 50), L"(none)");
    EXPECT_EQ(nameAt(100, 100), L"(none)");
    // A click lands where the hit test says.
    Headless::SendMouse(window.GetHWND(), WM_LBUTTONDOWN, {60, 20});
    Headless::SendMouse(window.GetHWND(), WM_LBUTTONUP, {60, 20});
    Headless::SendMouse(window.GetHWND(), WM_LBUTTONDOWN, {30, 30});
    Headless::SendMouse(window.GetHWND(), WM_LBUTTONUP, {30, 30});
    EXPECT_EQ(window.SendersOf(L"click"), (Senders{L"Right", L"Below"}));
}

// A notifier that removes a later one during a notification: the removed one hears nothing
// more, not even the notification under way; the others hear it once, in order. One added
// meanwhile hears from the next notification on.
TEST_F(PaintManagerTest, ANotifierRemovedDuringANotificationHearsNoMoreOfIt) {
    TestWindow removed("removed");
    TestWindow last("last");
    TestWindow added("added");
    window.manager.AddNotifier(&removed);
    window.manager.AddNotifier(&last);
    window.onNotify = [&](TNotifyUI& msg) {
        if (msg.sType != L"click")
            return;
        window.manager.RemoveNotifier(&removed);
        window.manager.AddNotifier(&added);
    };
    EXPECT_TRUE(Headless::Click(hwnd, L"Ok"));
    EXPECT_TRUE(removed.SendersOf(L"click").empty());
    EXPECT_EQ(last.SendersOf(L"click"), Senders{L"Ok"});
    EXPECT_TRUE(added.SendersOf(L"click").empty());
    EXPECT_TRUE(Headless::Click(hwnd, L"Other"));
    EXPECT_TRUE(removed.SendersOf(L"click").empty());
    EXPECT_EQ(last.SendersOf(L"click"), (Senders{L"Ok", L"Other"}));
    EXPECT_EQ(added.SendersOf(L"click"), Senders{L"Other"});
    EXPECT_EQ(window.SendersOf(L"click"), (Senders{L"Ok", L"Other"}));
    // A notifier that removes itself still finishes its turn; the next one is not skipped.
    window.onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == L"click")
            window.manager.RemoveNotifier(&window);
    };
    EXPECT_TRUE(Headless::Click(hwnd, L"Ok"));
    EXPECT_EQ(last.SendersOf(L"click"), (Senders{L"Ok", L"Other", L"Ok"}));
    EXPECT_TRUE(Headless::Click(hwnd, L"Ok"));
    EXPECT_EQ(window.SendersOf(L"click"), (Senders{L"Ok", L"Other", L"Ok"}));
    EXPECT_EQ(added.SendersOf(L"click"), (Senders{L"Other", L"Ok", L"Ok"}));
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
