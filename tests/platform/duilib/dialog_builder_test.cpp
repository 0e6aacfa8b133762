// Building control trees from skin archives: test-made ones and the real bt.dat.
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "duilib/duilib.h"
#include "tests/platform/duilib/test_window.h"
#include "tests/support/program_dir.h"
#include "tests/support/zip_maker.h"

namespace {

using namespace DuiLib;
using duilib_test::SkinDirectory;

// With a byte order mark, a comment and text between elements, which the walk skips.
const char* const kMainSkin = "\xEF\xBB\xBF"
                              R"(<?xml version="1.0" encoding="UTF-8"?>
<Window size="400,300">
  <!-- a comment -->
  <VerticalLayout name="Root" pos="0,0,400,300">
    <Container name="Panel" pos="10,20,210,220">text
      <Button name="OkBtn" pos="5,5,85,35" text=")"
                              "\xE7\xA1\xAE\xE5\xAE\x9A"
                              R"("/>
      <Text name="Caption" pos="0,40,200,60" text="title"/>
    </Container>
    <Label name="Status" pos="220,20,390,40" text="ready" enabled="false"/>
    <Option name="First" pos="220,50,300,70" group="g" selected="true"/>
    <Progress name="Bar" pos="10,230,390,240" min="0" max="1000" value="250"/>
    <List name="Servers" pos="10,250,200,300" itemheight="20">
      <ListLabelElement name="One" text="one"/>
      <ListLabelElement name="Two" text="two"/>
    </List>
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

TEST(DialogBuilderTest, BuildsControlsByElementAndLaysThemOutInTheirParents) {
    SkinDirectory skins({{"main.xml", kMainSkin}});
    CPaintManagerUI manager;
    ASSERT_NE(Build(manager, L"main.xml"), nullptr);
    EXPECT_EQ(manager.GetInitSize().cx, 400);
    const std::pair<const wchar_t*, const wchar_t*> classes[]{
        {L"Root", L"VerticalLayoutUI"}, {L"Panel", L"ContainerUI"}, {L"OkBtn", L"ButtonUI"},
        {L"Caption", L"TextUI"},        {L"Status", L"LabelUI"},    {L"First", L"OptionUI"},
        {L"Bar", L"ProgressUI"},        {L"Servers", L"ListUI"},    {L"One", L"ListLabelElementUI"},
        {L"IE", L"ActiveXUI"},          {L"Odd", L"ControlUI"}};
    for (const auto& [name, cls] : classes) {
        CControlUI* control = manager.FindControl(name);
        ASSERT_NE(control, nullptr) << name;
        EXPECT_STREQ(control->GetClass(), cls) << name;
    }
    EXPECT_EQ(manager.FindControl(L"Inside"), nullptr); // inside an unknown element: not built
    EXPECT_EQ(manager.FindControl(L"OkBtn")->GetText().str(), L"\u786E\u5B9A");
    EXPECT_FALSE(manager.FindControl(L"Status")->IsEnabled());
    EXPECT_TRUE(static_cast<COptionUI*>(manager.FindControl(L"First"))->IsSelected());
    EXPECT_EQ(static_cast<CProgressUI*>(manager.FindControl(L"Bar"))->GetValue(), 250);

    CControlUI* ok = manager.FindControl(L"OkBtn");
    const RECT pos = ok->GetPos();
    EXPECT_EQ((std::vector<int>{pos.left, pos.top, pos.right, pos.bottom}),
              (std::vector<int>{15, 25, 95, 55}));
    EXPECT_EQ(manager.FindControl(L"Two")->GetPos().top, 270); // one item height below "One"
    // Hit tests find the innermost visible control.
    EXPECT_EQ(manager.FindControl(POINT{20, 30}), ok);
    EXPECT_EQ(manager.FindControl(POINT{12, 200})->GetName().str(), L"Panel");
    EXPECT_EQ(manager.FindControl(POINT{5, 5})->GetName().str(), L"Root"); // IE is hidden
    EXPECT_EQ(manager.FindControl(POINT{500, 500}), nullptr);
}

TEST(DialogBuilderTest, FindsEntriesWhateverTheCaseAndSeparator) {
    SkinDirectory skins({{"TopSkin.xml", R"(<Window><Control name="A"/><Control name="B"/>
                                            </Window>)"},
                         {"sub/inner.xml", R"(<Window><Control name="inner"/></Window>)"}});
    CPaintManagerUI folded;
    CControlUI* root = Build(folded, L"TOPSKIN.XML");
    ASSERT_NE(root, nullptr);
    // Several top controls share a container filling the window.
    EXPECT_STREQ(root->GetClass(), L"ContainerUI");
    EXPECT_EQ(folded.FindControl(L"B")->GetParent(), root);
    CPaintManagerUI nested;
    ASSERT_NE(Build(nested, L"sub\\inner.xml"), nullptr);
    EXPECT_NE(nested.FindControl(L"inner"), nullptr);
}

TEST(DialogBuilderTest, MissingOrBrokenSkinsAndArchivesGiveNoRoot) {
    const char* const ok = "<Window><Button name='x'/></Window>";
    SkinDirectory skins({{"broken.xml", "<Window><Button name='x'></Window>"},
                         {"unquoted.xml", "<Window><Button name='x /></Window>"},
                         {"ok.xml", ok}});
    CDialogBuilder builder;
    // Skins come only from the archive: a loose file beside it does not count.
    testing_support::WriteFile(skins.dir / "loose.xml", ok);
    for (const wchar_t* skin : {L"absent.xml", L"broken.xml", L"unquoted.xml", L"loose.xml"})
        EXPECT_EQ(builder.Create(skin), nullptr) << skin;

    // Archives that are no zip, or no regular file: a FIFO would block, /dev/zero never end.
    testing_support::WriteFile(skins.dir / "garbage.dat", "this is not a zip archive at all");
    ASSERT_EQ(mkfifo((skins.dir / "fifo.dat").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", skins.dir / "zero.dat");
    std::filesystem::create_directory(skins.dir / "dir.dat");
    for (const wchar_t* archive :
         {L"missing.dat", L"garbage.dat", L"", L"fifo.dat", L"zero.dat", L"dir.dat"}) {
        CPaintManagerUI::SetResourceZip(archive);
        EXPECT_EQ(builder.Create(L"ok.xml"), nullptr) << archive;
    }
    CPaintManagerUI::SetResourceZip(L"bt.dat");
    EXPECT_NE(std::unique_ptr<CControlUI>(builder.Create(L"ok.xml")), nullptr);

    // An entry whose data no longer matches its checksum.
    testing_support::MakeZip(skins.dir / "bt.dat",
                             {{.name = "ok.xml", .data = ok, .declaredCrc = 0x12345678}});
    CPaintManagerUI::SetResourceZip(L"bt.dat");
    EXPECT_EQ(builder.Create(L"ok.xml"), nullptr);
}

// count copies of text, each with its index where text holds "#".
std::string Repeated(const std::string& text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        std::string copy = text;
        for (size_t at; (at = copy.find('#')) != std::string::npos;)
            copy.replace(at, 1, std::to_string(i));
        out += copy;
    }
    return out;
}

// bt.dat is replaced by updates like any game file, so a skin may be hostile: its size alone
// must not make the window take minutes (and ignore every signal meanwhile) to open. Each
// attribute is applied once, in order: the ones at the far end still count.
TEST(DialogBuilderTest, HundredThousandAttributesOnOneElementAreEachReadOnce) {
    constexpr int kCount = 100000;
    const std::string skin = "<Window caption=\"0,0,0,24\"" + Repeated(" x#=\"#\"", kCount) +
                             " size=\"640,480\"><Button" + Repeated(" x#=\"#\"", kCount) +
                             " name=\"Far\" text=\"end\"/></Window>";
    SkinDirectory skins({{"wide.xml", skin}});
    CPaintManagerUI manager;
    ASSERT_NE(Build(manager, L"wide.xml"), nullptr);
    EXPECT_EQ(manager.GetInitSize().cx, 640);
    EXPECT_EQ(manager.GetInitSize().cy, 480);
    EXPECT_EQ(manager.GetCaptionRect().bottom, 24);
    ASSERT_NE(manager.FindControl(L"Far"), nullptr);
    EXPECT_EQ(manager.FindControl(L"Far")->GetText().str(), L"end");
}

// Siblings by the hundred thousand, all of one name, in a container and in a list whose every
// item claims to be the selected one: the first of a name is found, the last claim wins, and
// taking them away again leaves no name behind.
TEST(DialogBuilderTest, TwoHundredThousandSiblingsBuildAndGoAgain) {
    constexpr int kCount = 200000;
    const std::string skin =
        "<Window size=\"400,300\"><Container pos=\"0,0,400,300\">"
        "<Container name=\"Box\" pos=\"0,0,200,300\">" +
        Repeated("<Button name=\"b\" pos=\"0,0,10,10\"/>", kCount) +
        "</Container><List name=\"List\" pos=\"200,0,400,300\" itemheight=\"2\">" +
        Repeated("<ListLabelElement name=\"i\" selected=\"true\"/>", kCount) +
        "</List></Container></Window>";
    SkinDirectory skins({{"many.xml", skin}});
    CPaintManagerUI manager;
    ASSERT_NE(Build(manager, L"many.xml"), nullptr);
    auto* box = static_cast<CContainerUI*>(manager.FindControl(L"Box"));
    auto* list = static_cast<CListUI*>(manager.FindControl(L"List"));
    ASSERT_NE(box, nullptr);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(box->GetCount(), kCount);
    ASSERT_EQ(list->GetCount(), kCount);
    EXPECT_EQ(manager.FindControl(L"b"), box->GetItemAt(0));
    EXPECT_EQ(manager.FindControl(L"i"), list->GetItemAt(0));
    EXPECT_EQ(manager.FindControl(POINT{5, 5}), box->GetItemAt(kCount - 1)); // drawn on top
    EXPECT_EQ(list->GetCurSel(), kCount - 1);
    int selected = 0;
    for (int i = 0; i < kCount; ++i)
        selected += static_cast<CListLabelElementUI*>(list->GetItemAt(i))->IsSelected() ? 1 : 0;
    EXPECT_EQ(selected, 1);
    // Every item has its own row.
    EXPECT_EQ(list->GetItemAt(1)->GetPos().top, 2);
    EXPECT_EQ(list->GetItemAt(kCount - 1)->GetPos().top, 2 * (kCount - 1));
    EXPECT_EQ(list->GetItemAt(kCount - 1)->GetPos().left, 200);

    ASSERT_TRUE(box->Remove(box->GetItemAt(0)));
    EXPECT_EQ(manager.FindControl(L"b"), box->GetItemAt(0));
    box->RemoveAll();
    list->RemoveAll();
    EXPECT_EQ(manager.FindControl(L"b"), nullptr);
    EXPECT_EQ(manager.FindControl(L"i"), nullptr);
    EXPECT_EQ(list->GetCurSel(), -1);
}

// The shipped skins build, and the controls the launcher binds have the classes it casts to.
TEST(DialogBuilderTest, ShippedSkinsBuildWithTheBoundControls) {
    if (!std::filesystem::exists(testing_support::BinDir() / "bt.dat"))
        GTEST_SKIP() << "bin/bt.dat has not been built";
    testing_support::TempDir dir;
    testing_support::UseProgramDirectory(dir);
    // Built in three resolutions unless named with ".xml"; "name:Class" where the launcher casts.
    const std::pair<std::wstring, std::vector<std::wstring>> skins[] = {
        {L"launcherSkin",
         {L"EnterGameBtn:ButtonUI", L"GameSetBtn:ButtonUI", L"CloseBtn:ButtonUI",
          L"MinBtn:ButtonUI", L"LogoCtrl"}},
        {L"server",
         {L"ProgressCtrl:ProgressUI", L"ServerBtn:OptionUI", L"ProgressTxt", L"CurVersionTxt",
          L"ProgressImg"}},
        {L"news", {L"IE:ActiveXUI"}},
        {L"news2", {L"IE:ActiveXUI"}},
        {L"top", {L"IE:ActiveXUI"}},
        {L"backGround.xml", {}},
        {L"serverList.xml", {L"domainlist:ListUI"}},
        {L"setting.xml",
         {L"pel800_600", L"pel1024_768", L"pel1280_800", L"pel1280_768", L"FullScreenOption",
          L"OkBtn", L"CancelBtn"}}};
    for (const auto& [base, bound] : skins) {
        const bool single = base.ends_with(L".xml");
        for (const wchar_t* suffix : {L".xml", L"_720.xml", L"_600.xml"}) {
            const std::wstring file = single ? base : base + suffix;
            CPaintManagerUI manager;
            ASSERT_NE(Build(manager, file.c_str()), nullptr)
                << std::string(file.begin(), file.end());
            for (const std::wstring& entry : bound) {
                const size_t colon = entry.find(L':');
                const CControlUI* control = manager.FindControl(entry.substr(0, colon).c_str());
                ASSERT_NE(control, nullptr) << std::string(entry.begin(), entry.end());
                EXPECT_TRUE(colon == std::wstring::npos ||
                            entry.substr(colon + 1) == control->GetClass())
                    << std::string(entry.begin(), entry.end());
            }
            if (single)
                break;
        }
    }
}

} // namespace
