#include "launcher/config/setting_config.h"

#include "duilib/headless.h"
#include "tests/launcher/config/program_dir_test.h"

using SettingConfigTest = ProgramDirTest;

TEST_F(SettingConfigTest, MapsLegacyResolutionTextsInMemoryOnly) {
    const struct {
        std::string stored;
        const wchar_t* loaded;
    } cases[] = {
        {"1024*768", L"1"},        {"800*600", L"0"},           {"2", L"2"},
        {"1280*800", L"1280*800"}, {"800 * 600", L"800 * 600"},
    };
    for (const auto& c : cases) {
        const std::string text = "[Setting]\nResolution=" + c.stored + "\n";
        Write("resolution.ini", text);
        SettingConfig settings;
        ASSERT_TRUE(settings.Load(WideFile("resolution.ini")));
        EXPECT_EQ(settings.Resolution, c.loaded) << c.stored;
        EXPECT_EQ(Read("resolution.ini"), text);
    }
}

TEST_F(SettingConfigTest, ReadsBooleansAsIntegers) {
    const struct {
        std::string fullScreen;
        std::string voice;
        bool expectFullScreen;
        bool expectVoice;
    } cases[] = {
        {"1", "0", true, false},
        {"0", "82", false, true},   // any non-zero integer is on
        {"yes", "on", false, true}, // not integers: construction values stay
        {"-1", " 0 ", true, false},
    };
    for (const auto& c : cases) {
        Write("resolution.ini",
              "[Setting]\nFullScreen=" + c.fullScreen + "\nVoice=" + c.voice + "\n");
        SettingConfig settings;
        ASSERT_TRUE(settings.Load(WideFile("resolution.ini")));
        EXPECT_EQ(settings.FullScreen, c.expectFullScreen) << c.fullScreen;
        EXPECT_EQ(settings.Voice, c.expectVoice) << c.voice;
    }
}

TEST_F(SettingConfigTest, MissingFileShowsTheMessageAndKeepsConstructionValues) {
    SettingConfig& settings = *SettingConfig::Instance();
    EXPECT_FALSE(settings.Load(WideFile("resolution.ini")));
    const auto boxes = DuiLib::Headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"游戏无法启动，缺少 Resolution.ini 文件或重新安装游戏！");
    EXPECT_EQ(boxes[0].caption, L"错误");
    EXPECT_EQ(boxes[0].type, DuiLib::MB_OK);
    EXPECT_FALSE(settings.FullScreen);
    EXPECT_EQ(settings.Resolution, L"");
    EXPECT_TRUE(settings.Voice);
    EXPECT_FALSE(settings.Save());
    EXPECT_FALSE(Exists("resolution.ini"));
}

TEST_F(SettingConfigTest, SaveWritesBooleansAsIntegersAndKeepsOtherLines) {
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
