#include "launcher/config/version_config.h"

#include "tests/launcher/config/program_dir_test.h"

using VersionConfigTest = ProgramDirTest;

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
