// Each ini file is read once per load, whatever the number of keys looked up in it: a large
// file read again per key made start-up take seconds and gigabytes.
#include "launcher/config/legacy_migration.h"
#include "launcher/config/setup_config.h"
#include "launcher/config/web_ini_setting.h"
#include "launcher/launcher.h"
#include "tests/launcher/config/program_dir_test.h"
#include "tests/support/file_opens.h"

using ReadOnceTest = ProgramDirTest;

TEST_F(ReadOnceTest, EachIniFileIsOpenedOncePerLoad) {
    // Both update addresses are derived and saved, so Load saves twice.
    Write("zel.ini", "[Setup]\nUpdateVersionUrl=http://up.example.com/a.xml\n"
                     "UpdateVersionUrl2=http://up.example.com/b.xml\nVoice=0\nVersion=1.1\n");
    Write("Do.ini", "[Addr]\nServerListUrl1=http://do.example.com/1\n");
    Write("web.ini", "[Setting]\nAppTitle=T\nLogoWidth=10\n[Web]\nTopUrl=http://w.example.com/\n");
    testing_support::FileOpens opens(dir.path());

    ASSERT_TRUE(SetupConfig::Instance()->Load(WideFile("zel.ini")));
    EXPECT_EQ(opens.Count("zel.ini"), 1);
    opens.Reset();
    EXPECT_TRUE(LoadResolutionIni());
    EXPECT_EQ(opens.Count("zel.ini"), 1) << "four legacy keys";
    EXPECT_EQ(opens.Count("resolution.ini"), 1);
    opens.Reset();
    EXPECT_TRUE(LoadVersionIni());
    EXPECT_EQ(opens.Count("zel.ini"), 1);
    EXPECT_EQ(opens.Count("version.ini"), 1);

    LauncherFrameWnd frame;
    frame.InitUrls();
    opens.Reset();
    frame.LoadDoIni();
    EXPECT_EQ(opens.Count("Do.ini"), 1) << "the section check and five keys";
    EXPECT_EQ(frame.ServerListUrl1, L"http://do.example.com/1");
    frame.LoadWebIni();
    EXPECT_EQ(opens.Count("web.ini"), 1);
    EXPECT_EQ(frame.TopUrl, L"http://w.example.com/");
    const WebIniSetting setting = ReadWebIniSetting();
    EXPECT_EQ(opens.Count("web.ini"), 2);
    EXPECT_EQ(setting.title + L" " + std::to_wstring(setting.logoWidth) + L" " +
                  std::to_wstring(setting.logoHeight),
              L"T 10 152");
}
