// Mouse input through a real headless window to controls, and the notifications that follow.
#include <gtest/gtest.h>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "tests/platform/duilib/test_window.h"

namespace {

using namespace DuiLib;
using duilib_test::SkinDirectory;
using duilib_test::TestWindow;

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
    <Combo name="Combo" pos="130,70,230,90">
      <ListLabelElement text="x"/><ListLabelElement text="y"/>
    </Combo>
  </Container>
</Window>)";

class PaintManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(window.CreateAt(nullptr, 100, 100, 0, 0), nullptr);
        hwnd = window.GetHWND();
        Headless::PumpMessages(); // windowinit
    }
    CControlUI* Find(const wchar_t* name) { return window.manager.FindControl(name); }
    POINT CentreOf(const wchar_t* name) {
        const RECT pos = Find(name)->GetPos();
        return POINT{(pos.left + pos.right) / 2, (pos.top + pos.bottom) / 2};
    }

    SkinDirectory skins{{"test.xml", kSkin}};
    TestWindow window{"main", L"test.xml"};
    HWND hwnd = nullptr;
};

TEST_F(PaintManagerTest, WindowInitArrivesOnceOnTheNextTurnOfTheLoop) {
    TestWindow second("second", L"test.xml");
    ASSERT_NE(second.CreateAt(nullptr, 0, 0, 0, 0), nullptr);
    EXPECT_EQ(second.CountOf(L"windowinit"), 0); // not inside Create
    EXPECT_TRUE(Headless::PumpMessages());
    EXPECT_EQ(second.SendersOf(L"windowinit"), std::vector<std::wstring>{L"Root"});
    second.ResizeClient(320, 240);
    Headless::PumpMessages();
    EXPECT_EQ(second.CountOf(L"windowinit"), 1);
}

TEST_F(PaintManagerTest, ClickComesOnButtonUpOverTheControlThatGotTheDown) {
    Headless::SendMouse(hwnd, WM_LBUTTONDOWN, CentreOf(L"Ok"));
    EXPECT_EQ(window.CountOf(L"click"), 0);
    Headless::SendMouse(hwnd, WM_LBUTTONUP, CentreOf(L"Ok"));
    EXPECT_EQ(window.SendersOf(L"click"), std::vector<std::wstring>{L"Ok"});

    // Released over another button, or pressed elsewhere first: no click at all.
    Headless::SendMouse(hwnd, WM_LBUTTONDOWN, CentreOf(L"Ok"));
    Headless::SendMouse(hwnd, WM_LBUTTONUP, CentreOf(L"Other"));
    Headless::SendMouse(hwnd, WM_LBUTTONDOWN, POINT{250, 150});
    Headless::SendMouse(hwnd, WM_LBUTTONUP, CentreOf(L"Other"));
    Headless::SendMouse(hwnd, WM_LBUTTONUP, CentreOf(L"Other"));
    EXPECT_EQ(window.CountOf(L"click"), 1);

    EXPECT_TRUE(Headless::Click(hwnd, L"Other"));
    EXPECT_EQ(window.SendersOf(L"click"), (std::vector<std::wstring>{L"Ok", L"Other"}));
}

TEST_F(PaintManagerTest, DisabledOrHiddenControlsGetNoClick) {
    EXPECT_TRUE(Headless::Click(hwnd, L"Off"));
    Find(L"Box")->SetEnabled(false); // a disabled container disables what it holds
    EXPECT_TRUE(Headless::Click(hwnd, L"Inner"));
    Find(L"Box")->SetEnabled(true);
    Find(L"Box")->SetVisible(false);
    EXPECT_FALSE(Headless::Click(hwnd, L"Inner"));
    EXPECT_EQ(window.manager.FindControl(POINT{195, 15}), Find(L"Filler"));

    // Disabled between press and release.
    Headless::SendMouse(hwnd, WM_LBUTTONDOWN, CentreOf(L"Ok"));
    Find(L"Ok")->SetEnabled(false);
    Headless::SendMouse(hwnd, WM_LBUTTONUP, CentreOf(L"Ok"));
    EXPECT_EQ(window.CountOf(L"click"), 0);

    Find(L"Ok")->SetEnabled(true);
    EXPECT_TRUE(Headless::Click(hwnd, L"Ok"));
    EXPECT_EQ(window.CountOf(L"click"), 1);
}

TEST_F(PaintManagerTest, OptionReportsItsOldStateDuringClickAndTogglesAfter) {
    std::vector<std::pair<std::wstring, bool>> seen;
    window.onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == L"click")
            seen.emplace_back(msg.pSender->GetName().str(),
                              static_cast<COptionUI*>(msg.pSender)->IsSelected());
    };
    auto* toggle = static_cast<COptionUI*>(Find(L"Toggle"));
    auto* a = static_cast<COptionUI*>(Find(L"A"));
    auto* b = static_cast<COptionUI*>(Find(L"B"));

    Headless::Click(hwnd, L"Toggle");
    EXPECT_TRUE(toggle->IsSelected());
    Headless::Click(hwnd, L"Toggle");
    EXPECT_FALSE(toggle->IsSelected());

    // In a group a click selects, and the other option of the group lets go.
    Headless::Click(hwnd, L"B");
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(a->IsSelected());
    Headless::Click(hwnd, L"B");
    EXPECT_TRUE(b->IsSelected());

    const std::vector<std::pair<std::wstring, bool>> expected{
        {L"Toggle", false}, {L"Toggle", true}, {L"B", false}, {L"B", true}};
    EXPECT_EQ(seen, expected);

    a->Selected(true);
    EXPECT_FALSE(b->IsSelected());
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
        item->SetText(text);
        item->OnEvent += MakeDelegate(&DelegateLog::OnItemEvent);
        items.push_back(item);
    }
    EXPECT_EQ(items[1]->GetPos().top, list->GetPos().top + 20);

    DelegateLog::letThrough = false;
    Headless::Click(hwnd, L"second");
    ASSERT_EQ(DelegateLog::events.size(), 2u); // button down, then button up
    EXPECT_EQ(DelegateLog::events[0].first, UIEVENT_BUTTONDOWN);
    EXPECT_EQ(DelegateLog::events[0].second, items[1]);
    EXPECT_EQ(list->GetCurSel(), -1);
    EXPECT_EQ(window.CountOf(L"itemclick"), 0);

    DelegateLog::letThrough = true;
    Headless::Click(hwnd, L"second");
    EXPECT_EQ(list->GetCurSel(), 1);
    EXPECT_TRUE(items[1]->IsSelected());
    EXPECT_EQ(window.SendersOf(L"itemclick"), std::vector<std::wstring>{L"second"});
    Headless::Click(hwnd, L"first");
    EXPECT_FALSE(items[1]->IsSelected());
    EXPECT_EQ(list->GetCurSel(), 0);

    // A refused item stays the caller's; RemoveAll frees what the list holds.
    EXPECT_FALSE(list->Add(items[0]));
    EXPECT_FALSE(list->Add(nullptr));
    list->RemoveAll();
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_EQ(list->GetCurSel(), -1);
    EXPECT_EQ(Find(L"first"), nullptr);
    EXPECT_FALSE(Headless::Click(hwnd, L"second"));
}

TEST_F(PaintManagerTest, ComboSelectionSendsItemSelectFromTheCombo) {
    auto* combo = static_cast<CComboUI*>(Find(L"Combo"));
    EXPECT_EQ(combo->GetCurSel(), -1);
    EXPECT_TRUE(combo->SelectItem(1));
    EXPECT_EQ(combo->GetText().str(), L"y");
    EXPECT_TRUE(combo->SelectItem(1)); // unchanged: no second notification
    EXPECT_FALSE(combo->SelectItem(2));
    EXPECT_FALSE(combo->SelectItem(-1));
    EXPECT_EQ(window.SendersOf(L"itemselect"), std::vector<std::wstring>{L"Combo"});
    // Without a display there is no drop-down to choose from: a click changes nothing.
    Headless::Click(hwnd, L"Combo");
    EXPECT_EQ(combo->GetCurSel(), 1);
}

TEST_F(PaintManagerTest, NamesFollowRenamesAndRemovals) {
    auto* list = static_cast<CListUI*>(Find(L"List"));
    auto* first = new CListLabelElementUI;
    auto* second = new CListLabelElementUI;
    ASSERT_TRUE(list->Add(first));
    ASSERT_TRUE(list->Add(second));
    first->SetName(L"twin");
    second->SetName(L"twin");
    EXPECT_EQ(Find(L"twin"), first);
    ASSERT_TRUE(list->Remove(first));
    EXPECT_EQ(Find(L"twin"), second);
    second->SetName(L"single");
    EXPECT_EQ(Find(L"twin"), nullptr);
    EXPECT_EQ(Find(L"single"), second);
}

TEST_F(PaintManagerTest, PlacesSetByHandStayWhenTheWindowIsResized) {
    CControlUI* ok = Find(L"Ok");
    ok->SetPos(RECT{40, 120, 80, 140});
    window.ResizeClient(400, 260);
    EXPECT_EQ(ok->GetPos().left, 40);
    EXPECT_EQ(ok->GetPos().top, 120);
    // A control without a position of its own fills its parent, which follows the window.
    EXPECT_EQ(Find(L"Filler")->GetPos().right, 300);
    Find(L"Root")->SetFixedWidth(400);
    EXPECT_EQ(Find(L"Filler")->GetPos().right, 400);
    EXPECT_EQ(ok->GetPos().left, 40);
}

struct SwallowingFilter : IMessageFilterUI {
    std::vector<UINT> seen;
    UINT swallow = 0;
    LRESULT MessageHandler(UINT uMsg, WPARAM, LPARAM, bool& bHandled) override {
        seen.push_back(uMsg);
        bHandled = uMsg == swallow;
        return 7;
    }
};

TEST_F(PaintManagerTest, PreMessageFiltersSeeMessagesFirstAndMaySwallowThem) {
    SwallowingFilter filter;
    filter.swallow = WM_LBUTTONDOWN;
    ASSERT_TRUE(window.manager.AddPreMessageFilter(&filter));
    EXPECT_FALSE(window.manager.AddPreMessageFilter(&filter));
    window.messages.clear();
    EXPECT_EQ(Headless::SendMouse(hwnd, WM_LBUTTONDOWN, CentreOf(L"Ok")), 7);
    Headless::SendMouse(hwnd, WM_LBUTTONUP, CentreOf(L"Ok"));
    EXPECT_EQ(filter.seen, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_EQ(window.messages, std::vector<UINT>{WM_LBUTTONUP});
    EXPECT_EQ(window.CountOf(L"click"), 0);

    ASSERT_TRUE(window.manager.RemovePreMessageFilter(&filter));
    Headless::Click(hwnd, L"Ok");
    EXPECT_EQ(window.CountOf(L"click"), 1);
}

struct CountingNotifier : INotifyUI {
    int count = 0;
    void Notify(TNotifyUI&) override { ++count; }
};

// A notifier that closes and frees the window ends the notification round safely.
TEST(PaintManagerLifetimeTest, NotifierMayDestroyTheWindowDuringAClick) {
    SkinDirectory skins{{"test.xml", kSkin}};
    auto* window = new TestWindow("doomed", L"test.xml");
    window->deleteOnFinalMessage = true;
    ASSERT_NE(window->CreateAt(nullptr, 0, 0, 0, 0), nullptr);
    const HWND hwnd = window->GetHWND();
    CountingNotifier later;
    window->manager.AddNotifier(&later);
    window->onNotify = [hwnd](TNotifyUI& msg) {
        if (msg.sType == L"click")
            DestroyWindow(hwnd);
    };
    Headless::PumpMessages();
    EXPECT_EQ(later.count, 1); // windowinit
    EXPECT_TRUE(Headless::Click(hwnd, L"Toggle"));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(later.count, 1);
    EXPECT_EQ(duilib_test::Journal().back(), "doomed:deleted");
}

} // namespace
