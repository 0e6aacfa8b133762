#include "launcher/config/version_config.h"

#include "duilib/headless.h"
#include "tests/launcher/config/program_dir_test.h"

using VersionConfigTest = ProgramDirTest;

TEST_F(VersionConfigTest, MissingFileShowsTheMessageAndSaveNeverCreatesIt) {
    VersionConfig& versions = *VersionConfig::Instance();
    EXPECT_FALSE(versions.Load(WideFile("version.ini")));
    const auto boxes = DuiLib::Headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"游戏无法启动，缺少 Version.ini 文件或重新安装游戏！");
    EXPECT_EQ(boxes[0].caption, L"错误");
    versions.Version = L"1.0";
    EXPECT_FALSE(versions.Save());
    EXPECT_TRUE(Entries().empty());
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
