// Building control trees from skin archives: test-made ones and the real bt.dat.
#include <filesystem>
#include <gtest/gtest.h>

#include "duilib/duilib.h"
#include "tests/platform/duilib/test_window.h"
#include "tests/support/program_dir.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_maker.h"

namespace {

using namespace DuiLib;
using duilib_test::SkinDirectory;

const char* const kMainSkin = R"(<?xml version="1.0" encoding="UTF-8"?>
<Window size="400,300" caption="4,0,6,40" roundcorner="8,6" bkcolor="#FF102030">
  <VerticalLayout name="Root" pos="0,0,400,300" bkimage="bg.png">
    <Container name="Panel" pos="10,20,210,220" bkcolor="#80112233">
      <Button name="OkBtn" pos="5,5,85,35" text="OK" tooltip="Confirm" textcolor="#FFEEDDCC"
              hotbkcolor="#102030" bordersize="2" fontsize="14" bold="true" align="center,bottom"/>
      <Text name="Caption" pos="0,40,200,60" text="title"/>
    </Container>
    <Label name="Status" pos="220,20,390,40" text="ready" enabled="false"/>
    <Option name="First" pos="220,50,300,70" group="g" selected="true"/>
    <Option name="Second" pos="300,50,380,70" group="g"/>
    <Progress name="Bar" pos="10,230,390,240" min="0" max="1000" value="250"
              forecolor="#FF00FF00" foreimage="bar.png"/>
    <List name="Servers" pos="10,250,200,300" itemheight="20" itemtextcolor="#FFFFFFFF">
      <ListLabelElement name="One" text="one"/>
      <ListLabelElement name="Two" text="two"/>
    </List>
    <Combo name="Choice" pos="220,250,390,270">
      <ListLabelElement text="800"/>
      <ListLabelElement text="1024" selected="true"/>
    </Combo>
    <ActiveX name="IE" pos="0,0,10,10" visible="false"/>
    <Gadget name="Odd" pos="1,2,3,4"><Button name="Inside"/></Gadget>
  </VerticalLayout>
</Window>)";

CControlUI* Build(CPaintManagerUI& manager, const wchar_t* skin) {
    CDialogBuilder builder;
    CControlUI* root = builder.Create(skin, nullptr, nullptr, &manager);
    if (root != nullptr)
        manager.AttachDialog(root);
    return root;
}

TEST(DialogBuilderTest, AppliesWindowAttributesToTheManager) {
    SkinDirectory skins({{"main.xml", kMainSkin}});
    CPaintManagerUI manager;
    ASSERT_NE(Build(manager, L"main.xml"), nullptr);
    EXPECT_EQ(manager.GetInitSize().cx, 400);
    EXPECT_EQ(manager.GetInitSize().cy, 300);
    const RECT caption = manager.GetCaptionRect();
    EXPECT_EQ((std::vector<int>{caption.left, caption.top, caption.right, caption.bottom}),
              (std::vector<int>{4, 0, 6, 40}));
    EXPECT_EQ(manager.GetRoundCorner().cx, 8);
    EXPECT_EQ(manager.GetRoundCorner().cy, 6);
    EXPECT_EQ(manager.GetBkColor(), 0xFF102030u);
}

TEST(DialogBuilderTest, BuildsControlsByElementWithTheirAttributes) {
    SkinDirectory skins({{"main.xml", kMainSkin}});
    CPaintManagerUI manager;
    CControlUI* root = Build(manager, L"main.xml");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(manager.GetRoot(), root);

    const std::vector<std::pair<const wchar_t*, const wchar_t*>> classes{
        {L"Root", L"VerticalLayoutUI"}, {L"Panel", L"ContainerUI"}, {L"OkBtn", L"ButtonUI"},
        {L"Caption", L"TextUI"},        {L"Status", L"LabelUI"},    {L"First", L"OptionUI"},
        {L"Bar", L"ProgressUI"},        {L"Servers", L"ListUI"},    {L"One", L"ListLabelElementUI"},
        {L"Choice", L"ComboUI"},        {L"IE", L"ActiveXUI"},      {L"Odd", L"ControlUI"}};
    for (const auto& [name, cls] : classes) {
        CControlUI* control = manager.FindControl(name);
        ASSERT_NE(control, nullptr) << name;
        EXPECT_STREQ(control->GetClass(), cls) << name;
    }
    // An unknown element is a plain control; what it holds is not built.
    EXPECT_EQ(manager.FindControl(L"Inside"), nullptr);

    CControlUI* ok = manager.FindControl(L"OkBtn");
    EXPECT_EQ(ok->GetText().str(), L"OK");
    EXPECT_EQ(ok->GetToolTip().str(), L"Confirm");
    EXPECT_EQ(ok->GetLook().textColor, 0xFFEEDDCCu);
    EXPECT_EQ(ok->GetLook().hotBkColor, 0xFF102030u); // six digits are opaque
    EXPECT_EQ(ok->GetLook().borderSize, 2);
    EXPECT_EQ(ok->GetLook().fontSize, 14);
    EXPECT_TRUE(ok->GetLook().bold);
    EXPECT_EQ(ok->GetLook().hAlign, HorizontalAlign::Center);
    EXPECT_EQ(ok->GetLook().vAlign, VerticalAlign::Bottom);
    EXPECT_EQ(manager.FindControl(L"Root")->GetBkImage().str(), L"bg.png");
    EXPECT_FALSE(manager.FindControl(L"Status")->IsEnabled());
    EXPECT_FALSE(manager.FindControl(L"IE")->IsVisible());

    EXPECT_TRUE(static_cast<COptionUI*>(manager.FindControl(L"First"))->IsSelected());
    EXPECT_EQ(static_cast<COptionUI*>(manager.FindControl(L"Second"))->GetGroup().str(), L"g");

    auto* bar = static_cast<CProgressUI*>(manager.FindControl(L"Bar"));
    EXPECT_EQ(bar->GetMaxValue(), 1000);
    EXPECT_EQ(bar->GetValue(), 250);
    EXPECT_EQ(bar->GetForeColor(), 0xFF00FF00u);
    EXPECT_EQ(bar->GetForeImage().str(), L"bar.png");

    auto* list = static_cast<CListUI*>(manager.FindControl(L"Servers"));
    EXPECT_EQ(list->GetCount(), 2);
    EXPECT_EQ(list->GetItemLook().itemHeight, 20);
    EXPECT_EQ(list->GetItemLook().itemTextColor, 0xFFFFFFFFu);

    // The combo's items are its choices; one marked selected in the skin is the selection.
    auto* combo = static_cast<CComboUI*>(manager.FindControl(L"Choice"));
    EXPECT_EQ(combo->GetCount(), 2);
    EXPECT_EQ(combo->GetCurSel(), 1);
    EXPECT_EQ(combo->GetText().str(), L"1024");
}

TEST(DialogBuilderTest, LaysControlsOutRelativeToTheirParents) {
    SkinDirectory skins({{"main.xml", kMainSkin}});
    CPaintManagerUI manager;
    ASSERT_NE(Build(manager, L"main.xml"), nullptr);
    CControlUI* ok = manager.FindControl(L"OkBtn");
    const RECT pos = ok->GetPos();
    EXPECT_EQ((std::vector<int>{pos.left, pos.top, pos.right, pos.bottom}),
              (std::vector<int>{15, 25, 95, 55}));
    EXPECT_EQ(ok->GetFixedXY().cx, 5);
    EXPECT_EQ(ok->GetFixedXY().cy, 5);
    EXPECT_EQ(ok->GetFixedWidth(), 80);
    EXPECT_EQ(ok->GetFixedHeight(), 30);
    // List items are stacked one item height apart inside the list.
    EXPECT_EQ(manager.FindControl(L"Two")->GetPos().top, 270);
    EXPECT_EQ(manager.FindControl(L"Two")->GetPos().bottom, 290);
    // Hit tests find the innermost visible control.
    EXPECT_EQ(manager.FindControl(POINT{20, 30}), ok);
    EXPECT_EQ(manager.FindControl(POINT{12, 200})->GetName().str(), L"Panel");
    EXPECT_EQ(manager.FindControl(POINT{5, 5})->GetName().str(), L"Root"); // IE is hidden
    EXPECT_EQ(manager.FindControl(POINT{230, 260})->GetName().str(), L"Choice");
    EXPECT_EQ(manager.FindControl(POINT{500, 500}), nullptr);
}

TEST(DialogBuilderTest, SeveralTopControlsShareAContainerFillingTheWindow) {
    SkinDirectory skins({{"two.xml", R"(<Window size="50,40"><Button name="A" pos="0,0,10,10"/>
                                        <Button name="B" pos="10,0,20,10"/></Window>)"}});
    CPaintManagerUI manager;
    CControlUI* root = Build(manager, L"two.xml");
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->GetClass(), L"ContainerUI");
    EXPECT_EQ(manager.FindControl(L"A")->GetParent(), root);
    EXPECT_EQ(manager.FindControl(L"B")->GetParent(), root);
}

TEST(DialogBuilderTest, FindsEntriesWhateverTheCaseAndSeparator) {
    SkinDirectory skins({{"TopSkin.xml", R"(<Window><Control name="upper"/></Window>)"},
                         {"topskin.xml", R"(<Window><Control name="lower"/></Window>)"},
                         {"sub/inner.xml", R"(<Window><Control name="inner"/></Window>)"}});
    CPaintManagerUI exact;
    ASSERT_NE(Build(exact, L"TopSkin.xml"), nullptr);
    EXPECT_NE(exact.FindControl(L"upper"), nullptr);
    CPaintManagerUI folded;
    ASSERT_NE(Build(folded, L"TOPSKIN.XML"), nullptr);
    EXPECT_TRUE(folded.FindControl(L"upper") != nullptr || folded.FindControl(L"lower") != nullptr);
    CPaintManagerUI nested;
    ASSERT_NE(Build(nested, L"sub\\inner.xml"), nullptr);
    EXPECT_NE(nested.FindControl(L"inner"), nullptr);
}

TEST(DialogBuilderTest, MissingOrBrokenSkinsGiveNoRoot) {
    SkinDirectory skins({{"broken.xml", "<Window><Button name='x'></Window>"},
                         {"ok.xml", "<Window><Button name='x'/></Window>"}});
    CPaintManagerUI manager;
    CDialogBuilder builder;
    EXPECT_EQ(builder.Create(L"absent.xml", nullptr, nullptr, &manager), nullptr);
    EXPECT_EQ(builder.Create(L"broken.xml", nullptr, nullptr, &manager), nullptr);
    EXPECT_EQ(builder.Create(nullptr, nullptr, nullptr, &manager), nullptr);

    // Skins come only from the archive: a loose file beside it does not count.
    testing_support::WriteFile(skins.dir() / "loose.xml", "<Window><Button name='x'/></Window>");
    EXPECT_EQ(builder.Create(L"loose.xml", nullptr, nullptr, &manager), nullptr);

    CPaintManagerUI::SetResourceZip(L"missing.dat");
    EXPECT_EQ(builder.Create(L"ok.xml", nullptr, nullptr, &manager), nullptr);

    testing_support::WriteFile(skins.dir() / "garbage.dat", "this is not a zip archive at all");
    CPaintManagerUI::SetResourceZip(L"garbage.dat");
    EXPECT_EQ(builder.Create(L"ok.xml", nullptr, nullptr, &manager), nullptr);

    CPaintManagerUI::SetResourceZip(L"");
    EXPECT_EQ(builder.Create(L"ok.xml", nullptr, nullptr, &manager), nullptr);
}

TEST(DialogBuilderTest, RewrittenArchiveIsReadAgain) {
    SkinDirectory skins({{"a.xml", "<Window><Button name='old'/></Window>"}});
    CPaintManagerUI first;
    ASSERT_NE(Build(first, L"a.xml"), nullptr);
    EXPECT_NE(first.FindControl(L"old"), nullptr);

    testing_support::ZipMakerEntry entry;
    entry.name = "a.xml";
    entry.data = "<Window><Button name='replacement'/></Window>";
    testing_support::MakeZip(skins.dir() / "bt.dat", {entry});
    CPaintManagerUI second;
    ASSERT_NE(Build(second, L"a.xml"), nullptr);
    EXPECT_NE(second.FindControl(L"replacement"), nullptr);
}

TEST(DialogBuilderTest, CorruptEntryGivesNoRoot) {
    testing_support::TempDir dir;
    testing_support::ZipMakerEntry entry;
    entry.name = "a.xml";
    entry.data = "<Window><Button name='x'/></Window>";
    entry.declaredCrc = 0x12345678; // the data no longer matches its checksum
    testing_support::MakeZip(dir / "bt.dat", {entry});
    InitBackend();
    CPaintManagerUI::SetResourcePath(dir.wide().c_str());
    CPaintManagerUI::SetResourceZip(L"bt.dat");
    CDialogBuilder builder;
    EXPECT_EQ(builder.Create(L"a.xml"), nullptr);
}

// The shipped skins build, and the controls the launcher binds have the classes it expects.
TEST(DialogBuilderTest, ShippedSkinsBuildWithTheBoundControls) {
    if (!std::filesystem::exists(testing_support::BinDir() / "bt.dat"))
        GTEST_SKIP() << "bin/bt.dat has not been built";
    testing_support::TempDir dir;
    testing_support::UseProgramDirectory(dir);

    const std::vector<std::pair<std::wstring, std::vector<std::pair<std::wstring, std::wstring>>>>
        skins{
            {L"launcherSkin",
             {{L"EnterGameBtn", L"ButtonUI"},
              {L"GameSetBtn", L"ButtonUI"},
              {L"CloseBtn", L"ButtonUI"},
              {L"MinBtn", L"ButtonUI"},
              {L"LogoCtrl", L""}}},
            {L"server",
             {{L"ProgressCtrl", L"ProgressUI"},
              {L"ServerBtn", L"OptionUI"},
              {L"ProgressTxt", L""},
              {L"CurVersionTxt", L""},
              {L"ProgressImg", L""}}},
            {L"news", {{L"IE", L"ActiveXUI"}}},
            {L"news2", {{L"IE", L"ActiveXUI"}}},
            {L"top", {{L"IE", L"ActiveXUI"}}},
        };
    for (const auto& [base, controls] : skins) {
        for (const wchar_t* suffix : {L".xml", L"_720.xml", L"_600.xml"}) {
            const std::wstring file = base + suffix;
            CPaintManagerUI manager;
            ASSERT_NE(Build(manager, file.c_str()), nullptr)
                << std::string(file.begin(), file.end());
            EXPECT_GT(manager.GetInitSize().cx, 0);
            for (const auto& [name, cls] : controls) {
                const CControlUI* control = manager.FindControl(name.c_str());
                ASSERT_NE(control, nullptr) << std::string(name.begin(), name.end());
                if (!cls.empty()) {
                    EXPECT_EQ(std::wstring(control->GetClass()), cls);
                }
            }
        }
    }
    CPaintManagerUI list;
    ASSERT_NE(Build(list, L"serverList.xml"), nullptr);
    ASSERT_NE(list.FindControl(L"domainlist"), nullptr);
    EXPECT_STREQ(list.FindControl(L"domainlist")->GetClass(), L"ListUI");
    CPaintManagerUI setting;
    ASSERT_NE(Build(setting, L"setting.xml"), nullptr);
    for (const wchar_t* name : {L"pel800_600", L"pel1024_768", L"pel1280_800", L"pel1280_768",
                                L"FullScreenOption", L"OkBtn", L"CancelBtn"})
        EXPECT_NE(setting.FindControl(name), nullptr);
    CPaintManagerUI backdrop;
    EXPECT_NE(Build(backdrop, L"backGround.xml"), nullptr);
}

} // namespace
