// Child windows whose skin is missing from bt.dat (a game update replaces it like any file):
// each window still runs, without the controls the skin would have given, and run.log names
// every missing file once, in the order the windows asked for them.
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "duilib/ui_thread.h"
#include "launcher/ui/server_list_wnd.h"
#include "launcher/ui/update_wnd.h"
#include "launcher/ui/web_panels.h"
#include "tests/e2e/two_area_list.h"
#include "tests/launcher/prepared_frame.h"
#include "tests/launcher/skin_archive.h"

using namespace DuiLib;
using namespace testing_support;

namespace {

const std::set<std::string> kEveryChildSkin{
    "news.xml",       "news_720.xml",   "news_600.xml",   "news2.xml",      "news2_720.xml",
    "news2_600.xml",  "top.xml",        "top_720.xml",    "top_600.xml",    "server.xml",
    "server_720.xml", "server_600.xml", "serverList.xml", "backGround.xml", "setting.xml"};

// The skin files run.log names as missing, in the order of its records.
std::vector<std::string> MissingSkinsLogged(const std::string& log) {
    static const std::string before = "skin ";
    static const std::string after = " cannot be built from bt.dat";
    std::vector<std::string> files;
    for (size_t end = log.find(after); end != std::string::npos; end = log.find(after, end + 1)) {
        const size_t start = log.rfind(before, end);
        if (start != std::string::npos && log.find(' ', start + before.size()) == end)
            files.push_back(log.substr(start + before.size(), end - start - before.size()));
    }
    return files;
}

struct ModeSkins {
    const char* screen;
    std::vector<std::string> asked; // news, news2, top, update window, drop-down
};

void PrintTo(const ModeSkins& mode, std::ostream* out) {
    *out << mode.screen;
}

class SkinlessChildren : public PreparedFrame, public ::testing::WithParamInterface<ModeSkins> {};

INSTANTIATE_TEST_SUITE_P(
    Screens, SkinlessChildren,
    ::testing::Values(
        ModeSkins{"1024x768", {"news.xml", "news2.xml", "top.xml", "server.xml", "serverList.xml"}},
        ModeSkins{
            "1280x720",
            {"news_720.xml", "news2_720.xml", "top_720.xml", "server_720.xml", "serverList.xml"}},
        ModeSkins{
            "800x600",
            {"news_600.xml", "news2_600.xml", "top_600.xml", "server_600.xml", "serverList.xml"}}),
    [](const ::testing::TestParamInfo<ModeSkins>& mode) {
        return std::string("Mode") + std::to_string(mode.index);
    });

} // namespace

// With a cached list, preparation loads the model into the skinless update window; the settings
// button, clicked twice, opens and closes the skinless backdrop and dialog each time; the launcher
// keeps running and every window object stays usable until shut-down releases it.
TEST_P(SkinlessChildren, EachWindowRunsWithoutItsControlsAndEveryMissingFileIsLoggedOnce) {
    WriteSkinArchiveWithout(dir / "bt.dat", kEveryChildSkin);
    WriteFile(dir / "ServerList.xml", kTwoAreaList);
    WriteFile(dir / "resolution.ini", "[Setting]\nFullScreen=0\nResolution=1\n");
    Start(GetParam().screen);

    UIUpdateWnd* updateWnd = frame->UpdateWnd.load();
    ASSERT_NE(updateWnd, nullptr);
    ASSERT_NE(frame->NewsWnd, nullptr);
    ASSERT_NE(frame->News2Wnd, nullptr);
    ASSERT_NE(frame->TopWnd, nullptr);
    ASSERT_NE(frame->ServerListWnd, nullptr);
    for (HWND child :
         {frame->NewsWnd->GetHWND(), frame->News2Wnd->GetHWND(), frame->TopWnd->GetHWND(),
          updateWnd->GetHWND(), frame->ServerListWnd->GetHWND()})
        EXPECT_TRUE(IsWindow(child));
    EXPECT_EQ(updateWnd->ServerBtn, nullptr);
    EXPECT_EQ(updateWnd->ProgressCtrl, nullptr);
    EXPECT_EQ(frame->ServerListWnd->List, nullptr);
    ASSERT_EQ(updateWnd->Areas.size(), 2u);
    EXPECT_EQ(updateWnd->Areas[1].servers.size(), 2u);
    EXPECT_TRUE(Headless::Navigations(frame->NewsWnd->GetHWND()).empty());

    // Neither the settings nor a progress report may end the run or reach a freed window.
    for (int click = 0; click < 2; ++click) {
        ASSERT_TRUE(Headless::Click(hwnd, L"GameSetBtn")) << click;
        EXPECT_EQ(Headless::FindWindowByClass(L"UIBackGround"), nullptr) << click;
        EXPECT_EQ(Headless::FindWindowByClass(L"UIGameSettingFrame"), nullptr) << click;
        EXPECT_TRUE(frame->GameSetBtn->IsEnabled()) << click;
    }
    updateWnd->SetProgress(50.0f);
    ASSERT_TRUE(Headless::PumpMessages()) << "the message loop was told to quit";
    EXPECT_TRUE(IsWindowEnabled(hwnd));
    EXPECT_EQ(ReadFile(dir / "resolution.ini"), "[Setting]\nFullScreen=0\nResolution=1\n");

    std::vector<std::string> expected = GetParam().asked;
    expected.push_back("backGround.xml");
    expected.push_back("setting.xml");
    EXPECT_EQ(MissingSkinsLogged(ReadFile(dir / "run.log")), expected);
}

// A backdrop without its skin still opens the settings dialog on it, and the dialog works.
TEST_F(PreparedFrame, SettingsOpenOverABackdropWithoutItsSkin) {
    WriteSkinArchiveWithout(dir / "bt.dat", {"backGround.xml"});
    Start("1024x768");
    bool opened = false;
    std::function<void()> whenOpen = [&] {
        const HWND dialog = Headless::FindWindowByClass(L"UIGameSettingFrame");
        if (dialog == nullptr) {
            PostToUiThread(whenOpen);
            return;
        }
        opened = true;
        EXPECT_TRUE(Headless::Click(dialog, L"pel1280_768"));
        EXPECT_TRUE(Headless::Click(dialog, L"OkBtn"));
    };
    PostToUiThread(whenOpen);
    ASSERT_TRUE(Headless::Click(hwnd, L"GameSetBtn"));
    EXPECT_TRUE(opened);
    EXPECT_TRUE(frame->GameSetBtn->IsEnabled());
    EXPECT_EQ(ReadFile(dir / "resolution.ini"), "[Setting]\nFullScreen=1\nResolution=3\nVoice=1\n");
    EXPECT_EQ(MissingSkinsLogged(ReadFile(dir / "run.log")),
              std::vector<std::string>{"backGround.xml"});
}
