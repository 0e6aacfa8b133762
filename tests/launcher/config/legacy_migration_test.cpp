#include "launcher/config/legacy_migration.h"

#include <csignal>
#include <sys/resource.h>

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

// A full disk, or a crash between two keys, must not leave a file that exists but lacks keys:
// the next start would never migrate again. Writes are cut off by a file-size limit here.
TEST_F(LegacyMigrationTest, NewFilesAppearWholeOrNotAtAll) {
    Write("zel.ini", "[Setup]\nVoice=50\nVersion=1.0.3\n");
    const std::string resolution =
        "[Setting]\nResolution=1024*768\nFullScreen=0\nVoice=50\nBackGroundMusic=\n";
    const std::string version = "[Version]\nVersion=1.0.3\nLVersion=0.0\n";
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    // Nothing fits; then the first key of each file fits, but not the whole file.
    for (const rlim_t limit : {rlim_t{0}, rlim_t{30}}) {
        SCOPED_TRACE(limit);
        rlimit small = original;
        small.rlim_cur = limit;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        EXPECT_FALSE(LoadResolutionIni());
        EXPECT_FALSE(LoadVersionIni());
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &original), 0);
        EXPECT_EQ(Entries(), std::set<std::string>{"zel.ini"});
    }
    EXPECT_EQ(DuiLib::Headless::MessageBoxes().size(), 4u);
    // The next start migrates.
    EXPECT_TRUE(LoadResolutionIni());
    EXPECT_TRUE(LoadVersionIni());
    EXPECT_EQ(Read("resolution.ini"), resolution);
    EXPECT_EQ(Read("version.ini"), version);
    EXPECT_EQ(SettingConfig::Instance()->Resolution, L"1");
}
