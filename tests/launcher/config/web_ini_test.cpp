// "web.ini": [Web] through the frame, [Setting] for the start-up code.
#include "launcher/config/default_pages.h"
#include "launcher/config/web_ini_setting.h"
#include "launcher/launcher.h"
#include "tests/launcher/config/program_dir_test.h"

namespace {

const std::string kWebIni = "[Setting]\n"
                            "AppTitle=风云游戏\n"
                            "Logo=logo2.png\n"
                            "LogoHeight=80\n"
                            "[Web]\n"
                            "WebsiteUrl=http://site.example.org/\n"
                            "Left600Url=http://news.example.org/l600.html\n";

} // namespace

class WebIniTest : public ProgramDirTest {
protected:
    void LoadPages() {
        frame.InitUrls();
        frame.LoadWebIni();
    }

    LauncherFrameWnd frame;
};

TEST_F(WebIniTest, WithoutWebIniBuiltInPagesAndDefaultsStayAndStrayCopyIsKept) {
    Write("web.ini.tmp", "[Web]\nTopUrl=http://stale/\n");
    const WebIniSetting setting = ReadWebIniSetting();
    EXPECT_FALSE(setting.present);
    EXPECT_EQ(setting.title, L"Tavi游戏");
    LoadPages();
    EXPECT_EQ(frame.TopUrl, default_pages::kTop);
    EXPECT_EQ(frame.RechargeUrl, default_pages::kRecharge);
    EXPECT_TRUE(Exists("web.ini.tmp"));
}

TEST_F(WebIniTest, PlainWebIniOverridesNamedPagesAndSetting) {
    Write("web.ini", kWebIni);
    const WebIniSetting setting = ReadWebIniSetting();
    EXPECT_TRUE(setting.present);
    EXPECT_EQ(setting.title, L"风云游戏");
    EXPECT_EQ(setting.logo, L"logo2.png");
    EXPECT_EQ(setting.logoWidth, 238);
    EXPECT_EQ(setting.logoHeight, 80);
    LoadPages();
    EXPECT_EQ(frame.WebsiteUrl, L"http://site.example.org/");
    EXPECT_EQ(frame.Left600Url, L"http://news.example.org/l600.html");
    EXPECT_EQ(frame.BBSUrl, default_pages::kForum);
    EXPECT_EQ(Entries(), std::set<std::string>{"web.ini"});
}

TEST_F(WebIniTest, ScrambledWebIniIsDecodedByBothReadersAndNoCopyRemains) {
    Write("web.ini", Scramble(kWebIni));
    Write("web.ini.tmp", "[Setting]\nAppTitle=stale\n");
    const WebIniSetting setting = ReadWebIniSetting();
    EXPECT_EQ(setting.title, L"风云游戏");
    EXPECT_EQ(setting.logoHeight, 80);
    // The window's own reader runs while the start-up copy is still there.
    LoadPages();
    EXPECT_EQ(frame.WebsiteUrl, L"http://site.example.org/");
    EXPECT_FALSE(Exists("web.ini.tmp"));
    DeleteWebIniCopy();
    EXPECT_EQ(Entries(), std::set<std::string>{"web.ini"});
}

TEST_F(WebIniTest, ReadOnlyScrambledWebIniKeepsEveryDefault) {
    Write("web.ini", Scramble(kWebIni));
    std::filesystem::permissions(File("web.ini"), std::filesystem::perms::owner_read);
    const WebIniSetting setting = ReadWebIniSetting();
    EXPECT_TRUE(setting.present) << "the logo is still placed, with the default name and size";
    EXPECT_EQ(setting.title, L"Tavi游戏");
    EXPECT_EQ(setting.logo, L"Tavi.png");
    EXPECT_EQ(setting.logoWidth, 238);
    EXPECT_EQ(setting.logoHeight, 152);
    LoadPages();
    EXPECT_EQ(frame.WebsiteUrl, default_pages::kWebsite);
    EXPECT_FALSE(Exists("web.ini.tmp"));
}
