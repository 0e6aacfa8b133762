#include "launcher/config/setting_config.h"

#include "duilib/headless.h"
#include "launcher/config/version_config.h"
#include "tests/launcher/config/program_dir_test.h"

using SettingConfigTest = ProgramDirTest;

TEST_F(SettingConfigTest, MapsLegacyResolutionsAndReadsFlagsAsIntegersInMemoryOnly) {
    const struct {
        std::string resolution, fullScreen, voice;
        const wchar_t* loadedResolution;
        bool loadedFullScreen, loadedVoice;
    } cases[] = {
        {"1024*768", "1", "0", L"1", true, false},
        {"800*600", "0", "82", L"0", false, true},           // any non-zero integer is on
        {"1280*800", "yes", "on", L"1280*800", false, true}, // not integers: defaults stay
        {"800 * 600", "-1", " 0 ", L"800 * 600", true, false},
    };
    for (const auto& c : cases) {
        const std::string text = "[Setting]\nResolution=" + c.resolution +
                                 "\nFullScreen=" + c.fullScreen + "\nVoice=" + c.voice + "\n";
        Write("resolution.ini", text);
        SettingConfig settings;
        ASSERT_TRUE(settings.Load(WideFile("resolution.ini")));
        EXPECT_EQ(settings.Resolution, c.loadedResolution) << c.resolution;
        EXPECT_EQ(settings.FullScreen, c.loadedFullScreen) << c.fullScreen;
        EXPECT_EQ(settings.Voice, c.loadedVoice) << c.voice;
        EXPECT_EQ(Read("resolution.ini"), text);
    }
}

TEST_F(SettingConfigTest, MissingFilesShowTheirMessageAndSaveNeverCreatesThem) {
    SettingConfig& settings = *SettingConfig::Instance();
    VersionConfig& versions = *VersionConfig::Instance();
    EXPECT_FALSE(settings.Load(WideFile("resolution.ini")));
    EXPECT_FALSE(versions.Load(WideFile("version.ini")));
    versions.Version = L"1.0";
    EXPECT_FALSE(settings.Save());
    EXPECT_FALSE(versions.Save());
    const auto boxes = DuiLib::Headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, L"游戏无法启动，缺少 Resolution.ini 文件或重新安装游戏！");
    EXPECT_EQ(boxes[1].text, L"游戏无法启动，缺少 Version.ini 文件或重新安装游戏！");
    EXPECT_EQ(boxes[0].caption, L"错误");
    EXPECT_EQ(boxes[1].caption, L"错误");
    EXPECT_TRUE(Entries().empty());
}

TEST_F(SettingConfigTest, SaveWritesFlagsAsIntegersAndKeepsEveryOtherByte) {
    Write("resolution.ini", "[Setting]\nResolution=1024*768\nFullScreen=0\nVoice=82\n"
                            "BackGroundMusic=\xB1\xB3\xBE\xB0.mp3\n");
    SettingConfig settings;
    ASSERT_TRUE(settings.Load(WideFile("resolution.ini")));
    settings.FullScreen = true;
    EXPECT_TRUE(settings.Save());
    // The mapped resolution code is what gets saved.
    EXPECT_EQ(Read("resolution.ini"), "[Setting]\nResolution=1\nFullScreen=1\nVoice=1\n"
                                      "BackGroundMusic=\xB1\xB3\xBE\xB0.mp3\n");
}
