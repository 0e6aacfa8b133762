#include "launcher/config/version_config.h"

#include "duilib/headless.h"
#include "tests/launcher/config/program_dir_test.h"

using VersionConfigTest = ProgramDirTest;

TEST_F(VersionConfigTest, MissingFileShowsTheMessageAndKeepsEmptyVersions) {
    VersionConfig& versions = *VersionConfig::Instance();
    EXPECT_FALSE(versions.Load(WideFile("version.ini")));
    const auto boxes = DuiLib::Headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].text, L"游戏无法启动，缺少 Version.ini 文件或重新安装游戏！");
    EXPECT_EQ(boxes[0].caption, L"错误");
    EXPECT_EQ(boxes[0].type, DuiLib::MB_OK);
    EXPECT_EQ(versions.Version, L"");
    EXPECT_EQ(versions.LVersion, L"");

    // Saving never creates the file.
    versions.Version = L"1.0";
    EXPECT_FALSE(versions.Save());
    EXPECT_FALSE(Exists("version.ini"));
}

TEST_F(VersionConfigTest, VersionKeyDecidesWhetherTheLauncherVersionIsRead) {
    Write("no-version.ini", "[Version]\nLVersion=2.0\n");
    VersionConfig withoutVersion;
    EXPECT_FALSE(withoutVersion.Load(WideFile("no-version.ini")));
    EXPECT_EQ(withoutVersion.Version, L"");
    EXPECT_EQ(withoutVersion.LVersion, L"");

    Write("version.ini", "[Version]\nVersion=1.0.10\n");
    VersionConfig withoutLauncher;
    withoutLauncher.LVersion = L"stale";
    EXPECT_TRUE(withoutLauncher.Load(WideFile("version.ini")));
    EXPECT_EQ(withoutLauncher.Version, L"1.0.10");
    EXPECT_EQ(withoutLauncher.LVersion, L"");
    EXPECT_TRUE(DuiLib::Headless::MessageBoxes().empty());
}

TEST_F(VersionConfigTest, SaveUpdatesBothVersionsAndKeepsTheRestOfAWindowsFile) {
    Write("version.ini",
          "# patch level\r\n[Version]\r\nVersion=1.0\r\nBuild=\xC4\xDA\r\n\r\n[Extra]\r\nA=1");
    VersionConfig versions;
    ASSERT_TRUE(versions.Load(WideFile("version.ini")));
    versions.Version = L"1.1";
    versions.LVersion = L"3";
    EXPECT_TRUE(versions.Save());
    EXPECT_EQ(Read("version.ini"), "# patch level\r\n[Version]\r\nVersion=1.1\r\nBuild=\xC4\xDA\r\n"
                                   "LVersion=3\r\n\r\n[Extra]\r\nA=1");
}
