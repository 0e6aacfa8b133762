// The program directory is used as the system names it: a "\" in its name is a character,
// so `games/a\..\victim` is its own directory, never `games/victim`.
#include "launcher/config/legacy_migration.h"
#include "launcher/config/setting_config.h"
#include "launcher/config/setup_config.h"
#include "launcher/config/stale_temporaries.h"
#include "launcher/config/version_config.h"
#include "system/path.h"
#include "tests/launcher/config/program_dir_test.h"

using OddProgramDirectoryTest = ProgramDirTest;

TEST_F(OddProgramDirectoryTest, ABackslashInTheDirectoryNameIsNeverASeparator) {
    const std::filesystem::path games = dir / "games";
    const std::filesystem::path program = games / "a\\..\\victim";
    const std::string victimIni = "[Setup]\nServerAddr=victim\nVoice=1\nVersion=6.6\n";
    Write("games/a/placeholder", "");
    Write("games/victim/zel.ini", victimIni);
    Write("games/victim/.zel.ini.tmp-0123456789abcdef", "victim's");
    Write("games/a\\..\\victim/zel.ini", "[Setup]\nServerAddr=10.0.0.1\n");
    Write("games/a\\..\\victim/.zel.ini.tmp-0123456789abcdef", "stale");
    DuiLib::CPaintManagerUI::SetInstance((*platform::FromPath(program) + L"/").c_str());

    RemoveStaleTemporaryFiles();
    SetupConfig& setup = *SetupConfig::Instance();
    ASSERT_TRUE(setup.Load(DuiLib::CPaintManagerUI::GetInstancePath().str() + L"zel.ini"));
    EXPECT_EQ(setup.ServerAddr, L"10.0.0.1");
    setup.ServerSid = L"7";
    EXPECT_TRUE(setup.Save());
    EXPECT_TRUE(LoadResolutionIni());
    EXPECT_TRUE(LoadVersionIni());
    EXPECT_EQ(VersionConfig::Instance()->Version, L"0.0");

    EXPECT_EQ(testing_support::ReadFile(program / "zel.ini"),
              "[Setup]\nServerAddr=10.0.0.1\nServerPort=\nChargeUrl=\nServerSid=7\n");
    EXPECT_TRUE(std::filesystem::exists(program / "resolution.ini"));
    EXPECT_TRUE(std::filesystem::exists(program / "version.ini"));
    EXPECT_FALSE(std::filesystem::exists(program / ".zel.ini.tmp-0123456789abcdef"));
    // The directory the name would resolve to with "/" separators is untouched.
    EXPECT_EQ(testing_support::ReadFile(games / "victim/zel.ini"), victimIni);
    EXPECT_EQ(testing_support::ReadFile(games / "victim/.zel.ini.tmp-0123456789abcdef"),
              "victim's");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(games / "victim"),
                            std::filesystem::directory_iterator()),
              2);
}
