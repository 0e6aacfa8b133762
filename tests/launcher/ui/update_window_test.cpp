// The update window and its drop-down as a player uses them on the headless backend: the cached
// list shown at preparation, the server button, the area buttons, a click on a server, and the
// clicks elsewhere that close the drop-down.
#include <gtest/gtest.h>

#include "duilib/headless.h"
#include "launcher/config/setting_config.h"
#include "launcher/ui/server_list_wnd.h"
#include "launcher/ui/update_wnd.h"
#include "launcher/ui/web_panels.h"
#include "tests/e2e/two_area_list.h"
#include "tests/launcher/prepared_frame.h"

namespace fs = std::filesystem;
using namespace DuiLib;
using namespace testing_support;

namespace {

class UpdateWindow : public PreparedFrame {
protected:
    void StartWithList(const std::string& zelIni = "[Setup]\n") {
        WriteFile(dir / "ServerList.xml", kTwoAreaList);
        WriteFile(dir / "zel.ini", zelIni);
        Start();
        updateWnd = frame->UpdateWnd.load();
        dropDown = frame->ServerListWnd;
        ASSERT_NE(updateWnd->ServerBtn, nullptr);
        ASSERT_NE(dropDown->List, nullptr);
    }
    std::vector<std::wstring> Items() const {
        std::vector<std::wstring> texts;
        for (int i = 0; i < dropDown->List->GetCount(); ++i)
            texts.push_back(dropDown->List->GetItemAt(i)->GetText().GetData());
        return texts;
    }
    bool DropDownOpen() const { return IsWindowVisible(dropDown->GetHWND()); }
    void ClickItem(int index) {
        const RECT rc = dropDown->List->GetItemAt(index)->GetPos();
        const POINT centre{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
        Headless::SendMouse(dropDown->GetHWND(), WM_LBUTTONDOWN, centre);
        Headless::SendMouse(dropDown->GetHWND(), WM_LBUTTONUP, centre);
        Headless::PumpMessages();
    }

    UIUpdateWnd* updateWnd = nullptr;
    UIServerListWnd* dropDown = nullptr;
};

} // namespace

TEST_F(UpdateWindow, CachedListIsShownAtPreparationWithTheSavedServerPicked) {
    StartWithList("[Setup]\nServerAddr=10.0.0.4\nServerPort=7004\n");
    // The first area is shown whichever area the saved server is in.
    EXPECT_EQ(Items(), std::vector<std::wstring>{L"East"});
    EXPECT_EQ(updateWnd->ServerBtn->GetText(), L"South");
    EXPECT_EQ(updateWnd->ShownArea, 0);
    // The worker had no address: its failure keeps the cached list on screen.
    EXPECT_EQ(updateWnd->Areas.size(), 2u);
    // The saved choice is completed and saved again.
    EXPECT_EQ(ReadFile(dir / "zel.ini"),
              "[Setup]\nServerAddr=10.0.0.4\nServerPort=7004\nChargeUrl=c4\nServerSid=23\n");
}

// The saved server is found but lacks its charge address: no choice is shown or saved, and the
// player must pick one.
TEST_F(UpdateWindow, AMatchedServerWithoutAChargeAddressLeavesZelIniAsItWas) {
    const std::string saved = "[Setup]\nServerSid=31\nServerAddr=10.0.0.9\nServerPort=1\n";
    WriteFile(dir / "ServerList.xml",
              "<tavi><area pid=\"1\" name=\"A\"><server sid=\"31\" name=\"Bare\" "
              "address=\"10.0.0.3\" port=\"7003\"/></area></tavi>");
    WriteFile(dir / "zel.ini", saved);
    Start();
    UIUpdateWnd* window = frame->UpdateWnd.load();
    ASSERT_NE(window->ServerBtn, nullptr);
    EXPECT_EQ(window->ServerBtn->GetText(), L"");
    EXPECT_FALSE(frame->EnterGameBtn->IsEnabled());
    EXPECT_EQ(ReadFile(dir / "zel.ini"), saved);
}

TEST_F(UpdateWindow, AreaButtonsRefillTheListAndAMissingAreaEmptiesIt) {
    StartWithList();
    ASSERT_TRUE(Headless::Click(updateWnd->GetHWND(), L"DServer"));
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"North", L"South"}));
    const int listY = frame->LayoutTable[LayoutServerList].y;
    ASSERT_TRUE(Headless::Click(updateWnd->GetHWND(), L"WServer"));
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ(frame->LayoutTable[LayoutServerList].y, listY + 58);
    ASSERT_TRUE(Headless::Click(updateWnd->GetHWND(), L"WServer"));
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ(updateWnd->ShownArea, 2);
    ASSERT_TRUE(Headless::Click(updateWnd->GetHWND(), L"FirstServer"));
    EXPECT_EQ(Items(), std::vector<std::wstring>{L"East"});
}

// The items of a reloaded list point at its new records: a click chooses, saves and enables.
TEST_F(UpdateWindow, AfterAReloadAClickOnAServerChoosesTheNewRecordAndSavesIt) {
    StartWithList("[Setup]\nServerSid=23\n");
    ASSERT_EQ(updateWnd->ServerBtn->GetText(), L"South");
    WriteFile(
        dir / "ServerList.xml",
        "<tavi><area name=\"A\"><server sid=\"31\" name=\"\xE4\xB8\x9C\" address=\"10.0.3.1\" "
        "port=\"7031\" chargeIp=\"c31\"/><server sid=\"23\" name=\"\xE8\xA5\xBF\" "
        "address=\"10.0.3.2\" port=\"7032\" chargeIp=\"c32\"/></area></tavi>");
    ASSERT_TRUE(updateWnd->InitServerList());
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"\u4E1C", L"\u897F"}));
    EXPECT_EQ(updateWnd->ServerBtn->GetText(), L"\u897F");
    EXPECT_EQ(SelectedServerAddr.GetData(), std::wstring(L"10.0.3.2"));

    ASSERT_TRUE(Headless::Click(updateWnd->GetHWND(), L"ServerBtn"));
    frame->EnterGameBtn->SetEnabled(false);
    ClickItem(0);
    EXPECT_EQ(updateWnd->ServerBtn->GetText(), L"\u4E1C");
    EXPECT_FALSE(DropDownOpen());
    EXPECT_TRUE(frame->EnterGameBtn->IsEnabled());
    EXPECT_EQ(SelectedServerSid.GetData(), std::wstring(L"31"));
    EXPECT_EQ(SelectedServerAddr.GetData(), std::wstring(L"10.0.3.1"));
    EXPECT_EQ(SelectedServerPort.GetData(), std::wstring(L"7031"));
    EXPECT_EQ(SelectedServerChargeIp.GetData(), std::wstring(L"c31"));
    EXPECT_EQ(ReadFile(dir / "zel.ini"),
              "[Setup]\nServerSid=31\nServerAddr=10.0.3.1\nServerPort=7031\nChargeUrl=c31\n");
}

TEST_F(UpdateWindow, ServerButtonOpensTheDropDownAndItOrAClickElsewhereClosesIt) {
    StartWithList();
    const auto openDropDown = [&] {
        ASSERT_FALSE(DropDownOpen());
        ASSERT_TRUE(Headless::Click(updateWnd->GetHWND(), L"ServerBtn"));
        ASSERT_TRUE(DropDownOpen());
        EXPECT_TRUE(updateWnd->ServerBtn->IsSelected());
    };
    openDropDown();
    ASSERT_TRUE(Headless::Click(updateWnd->GetHWND(), L"ServerBtn"));
    EXPECT_FALSE(DropDownOpen());
    EXPECT_FALSE(updateWnd->ServerBtn->IsSelected());
    openDropDown();
    ASSERT_TRUE(Headless::Click(frame->NewsWnd->GetHWND(), L"IE"));
    EXPECT_FALSE(DropDownOpen());
    openDropDown();
    ASSERT_TRUE(Headless::Click(hwnd, L"WebBtn"));
    EXPECT_FALSE(DropDownOpen());
    openDropDown();
    const bool fullScreen = SettingConfig::Instance()->FullScreen;
    const std::string settings = ReadFile(dir / "resolution.ini");
    ASSERT_TRUE(Headless::Click(updateWnd->GetHWND(), L"FullScreenOption"));
    EXPECT_FALSE(DropDownOpen());
    EXPECT_NE(SettingConfig::Instance()->FullScreen, fullScreen);
    EXPECT_EQ(ReadFile(dir / "resolution.ini"), settings);
}

TEST_F(UpdateWindow, VersionTextIsTheGreaterVersionByTextComparison) {
    WriteFile(dir / "version.ini", "[Version]\nVersion=2.0\nLVersion=10.0\n");
    StartWithList();
    EXPECT_EQ(updateWnd->CurVersionTxt->GetText(), L"2.0");
}
