#include "launcher/config/legacy_migration.h"

#include "duilib/headless.h"
#include "launcher/config/setting_config.h"
#include "launcher/config/version_config.h"
#include "tests/launcher/config/program_dir_test.h"

using LegacyMigrationTest = ProgramDirTest;

TEST_F(LegacyMigrationTest, MissingFilesAreCreatedFromLegacyKeysAndDefaults) {
    const struct {
        std::string zelIni, resolutionIni, versionIni;
        const wchar_t* resolution;
    } cases[] = {
        // "背景音乐.mp3" in GB18030, as older installations stored it, is carried over as UTF-8.
        {"[Setup]\nVoice=50\nFullScreen=1\nBackGroundMusic=\xB1\xB3\xBE\xB0\xD2\xF4\xC0\xD6.mp3\n"
         "Version=1.0.3\n",
         "[Setting]\nResolution=1024*768\nFullScreen=1\nVoice=50\nBackGroundMusic=背景音乐.mp3\n",
         "[Version]\nVersion=1.0.3\nLVersion=0.0\n", L"1"},
        {"[Setup]\nResolution=800*600\n",
         "[Setting]\nResolution=800*600\nFullScreen=0\nVoice=82\nBackGroundMusic=\n",
         "[Version]\nVersion=0.0\nLVersion=0.0\n", L"0"},
    };
    for (const auto& c : cases) {
        Write("zel.ini", c.zelIni);
        std::filesystem::remove(File("resolution.ini"));
        std::filesystem::remove(File("version.ini"));
        EXPECT_TRUE(LoadResolutionIni());
        EXPECT_TRUE(LoadVersionIni());
        EXPECT_EQ(Read("resolution.ini"), c.resolutionIni);
        EXPECT_EQ(Read("version.ini"), c.versionIni);
        EXPECT_EQ(SettingConfig::Instance()->Resolution, c.resolution);
    }
}

TEST_F(LegacyMigrationTest, ExistingFilesAreNeverMigratedAgain) {
    Write("zel.ini", "[Setup]\nResolution=800*600\nVoice=0\nVersion=9.9\n");
    Write("resolution.ini", "");
    Write("version.ini", "[Version]\nVersion=1.2\n");
    EXPECT_TRUE(LoadResolutionIni());
    EXPECT_TRUE(LoadVersionIni());
    EXPECT_EQ(Read("resolution.ini"), "");
    EXPECT_EQ(SettingConfig::Instance()->Resolution, L"");
    EXPECT_EQ(VersionConfig::Instance()->Version, L"1.2");
    EXPECT_TRUE(DuiLib::Headless::MessageBoxes().empty());
}
