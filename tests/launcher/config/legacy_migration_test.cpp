#include "launcher/config/legacy_migration.h"

#include "duilib/headless.h"
#include "launcher/config/setting_config.h"
#include "launcher/config/version_config.h"
#include "system/profile.h"
#include "tests/launcher/config/program_dir_test.h"

class LegacyMigrationTest : public ProgramDirTest {
protected:
    std::wstring Value(const std::string& file, const wchar_t* group, const wchar_t* key) {
        return platform::ReadProfileString(WideFile(file).ToStdWstring(), group, key, L"<missing>",
                                           255);
    }

    // The file holds the group line, then the keys in this order.
    void ExpectKeyOrder(const std::string& file, const std::string& group,
                        const std::vector<std::string>& keys) {
        const std::string text = Read(file);
        size_t previous = text.find("[" + group + "]");
        ASSERT_NE(previous, std::string::npos) << group;
        for (const std::string& key : keys) {
            const size_t at = text.find(key + "=");
            ASSERT_NE(at, std::string::npos) << key;
            EXPECT_GT(at, previous) << key;
            previous = at;
        }
    }
};

TEST_F(LegacyMigrationTest, ResolutionIniIsCreatedFromLegacyKeysAndDefaults) {
    Write("zel.ini", "[Setup]\nVoice=50\nFullScreen=1\nServerAddr=1.2.3.4\n");
    EXPECT_TRUE(LoadResolutionIni());
    EXPECT_EQ(Value("resolution.ini", L"Setting", L"Resolution"), L"1024*768");
    EXPECT_EQ(Value("resolution.ini", L"Setting", L"FullScreen"), L"1");
    EXPECT_EQ(Value("resolution.ini", L"Setting", L"Voice"), L"50");
    EXPECT_EQ(Value("resolution.ini", L"Setting", L"BackGroundMusic"), L"");
    ExpectKeyOrder("resolution.ini", "Setting",
                   {"Resolution", "FullScreen", "Voice", "BackGroundMusic"});
    const SettingConfig& settings = *SettingConfig::Instance();
    EXPECT_EQ(settings.Resolution, L"1");
    EXPECT_TRUE(settings.FullScreen);
    EXPECT_TRUE(settings.Voice);
}

TEST_F(LegacyMigrationTest, MissingLegacySoundValueBecomes82) {
    Write("zel.ini", "[Setup]\nResolution=800*600\n");
    EXPECT_TRUE(LoadResolutionIni());
    EXPECT_EQ(Value("resolution.ini", L"Setting", L"Voice"), L"82");
    EXPECT_EQ(SettingConfig::Instance()->Resolution, L"0");
    EXPECT_TRUE(SettingConfig::Instance()->Voice);
}

TEST_F(LegacyMigrationTest, ExistingFilesAreNeverMigratedAgain) {
    Write("zel.ini", "[Setup]\nResolution=800*600\nVoice=0\nVersion=9.9\n");
    Write("resolution.ini", "");
    Write("version.ini", "[Version]\nVersion=1.2\n");
    EXPECT_TRUE(LoadResolutionIni());
    EXPECT_TRUE(LoadVersionIni());
    EXPECT_EQ(Read("resolution.ini"), "");
    const SettingConfig& settings = *SettingConfig::Instance();
    EXPECT_EQ(settings.Resolution, L"");
    EXPECT_FALSE(settings.FullScreen);
    EXPECT_TRUE(settings.Voice);
    EXPECT_EQ(VersionConfig::Instance()->Version, L"1.2");
    EXPECT_TRUE(DuiLib::Headless::MessageBoxes().empty());
}

TEST_F(LegacyMigrationTest, VersionIniDefaultsToAFreshInstallation) {
    EXPECT_TRUE(LoadVersionIni());
    EXPECT_EQ(Value("version.ini", L"Version", L"Version"), L"0.0");
    EXPECT_EQ(Value("version.ini", L"Version", L"LVersion"), L"0.0");
    ExpectKeyOrder("version.ini", "Version", {"Version", "LVersion"});
    EXPECT_EQ(VersionConfig::Instance()->Version, L"0.0");
    EXPECT_EQ(VersionConfig::Instance()->LVersion, L"0.0");
}

TEST_F(LegacyMigrationTest, LegacyCodePageZelIniIsCarriedOverAsUtf8) {
    // "背景音乐.mp3" and a version, in GB18030 as older installations stored them.
    Write("zel.ini", "[Setup]\nBackGroundMusic=\xB1\xB3\xBE\xB0\xD2\xF4\xC0\xD6.mp3\n"
                     "Version=1.0.3\nLVersion=7\n");
    EXPECT_TRUE(LoadResolutionIni());
    EXPECT_TRUE(LoadVersionIni());
    EXPECT_NE(Read("resolution.ini").find("BackGroundMusic=背景音乐.mp3"), std::string::npos);
    EXPECT_EQ(VersionConfig::Instance()->Version, L"1.0.3");
    EXPECT_EQ(VersionConfig::Instance()->LVersion, L"7");

    // A later save rewrites the file in UTF-8 and keeps the copied music entry.
    SettingConfig::Instance()->FullScreen = true;
    EXPECT_TRUE(SettingConfig::Instance()->Save());
    EXPECT_EQ(Value("resolution.ini", L"Setting", L"FullScreen"), L"1");
    EXPECT_EQ(Value("resolution.ini", L"Setting", L"BackGroundMusic"), L"背景音乐.mp3");
}
