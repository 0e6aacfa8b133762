#include "launcher/config/setup_config.h"

#include "duilib/headless.h"
#include "tests/launcher/config/program_dir_test.h"

namespace {

// GB18030 bytes, as a legacy installation writes them: not valid UTF-8.
const std::string kLegacyText = "\xB7\xFE\xCE\xF1\xC6\xF7";

// Each line followed by LF.
std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

std::string LegacyZelIni(const std::string& chosenServer) {
    return Lines({"; written by the game", "[Other]", "Name=" + kLegacyText, "Path=C:\\Games\\zel",
                  "", "[Setup]", "ServerListUrl=http://list.example.com/a.xml",
                  "ServerListUrl2=http://list2.example.com/a.xml",
                  "UpdateVersionUrl=http://up.example.com/patch/list.xml",
                  "UpdateVersionUrl2=http://up2.example.com/patch/list.xml", "WeiServer=wei1",
                  "WeiServer2=wei2"}) +
           chosenServer + Lines({"Music=" + kLegacyText, "Resolution=800*600"});
}

const std::string kOldChoice =
    Lines({"ServerAddr=10.0.0.1", "ServerPort=7000", "ChargeUrl=10.0.0.2", "ServerSid=3"});
const std::string kNewChoice =
    Lines({"ServerAddr=10.9.9.9", "ServerPort=7100", "ChargeUrl=10.9.9.8", "ServerSid=12"});

} // namespace

using SetupConfigTest = ProgramDirTest;

TEST_F(SetupConfigTest, LoadsEveryKeyAndSaveRewritesOnlyTheChosenServer) {
    Write("zel.ini", LegacyZelIni(kOldChoice));
    SetupConfig& setup = *SetupConfig::Instance();
    ASSERT_TRUE(setup.Load(WideFile("zel.ini")));

    EXPECT_EQ(setup.FilePath, WideFile("zel.ini"));
    EXPECT_EQ(setup.ServerListUrl, L"http://list.example.com/a.xml");
    EXPECT_EQ(setup.ServerListUrl2, L"http://list2.example.com/a.xml");
    EXPECT_EQ(setup.WeiServer, L"wei1");
    EXPECT_EQ(setup.WeiServer2, L"wei2");
    EXPECT_EQ(setup.ServerAddr, L"10.0.0.1");
    EXPECT_EQ(setup.ServerPort, L"7000");
    EXPECT_EQ(setup.ChargeUrl, L"10.0.0.2");
    EXPECT_EQ(setup.ServerSid, L"3");
    // Loading derived both update addresses and saved twice: nothing else changed on disk.
    EXPECT_EQ(Read("zel.ini"), LegacyZelIni(kOldChoice));

    setup.ServerAddr = L"10.9.9.9";
    setup.ServerPort = L"7100";
    setup.ChargeUrl = L"10.9.9.8";
    setup.ServerSid = L"12";
    EXPECT_TRUE(setup.Save());
    EXPECT_EQ(Read("zel.ini"), LegacyZelIni(kNewChoice));
    EXPECT_EQ(Entries(), std::set<std::string>{"zel.ini"}) << "no temporary file left behind";
}

TEST_F(SetupConfigTest, DerivesNewStyleUpdateAddressesInMemoryOnly) {
    Write("zel.ini", "[Setup]\n"
                     "UpdateVersionUrl=http://up.example.com/patch\n"
                     "UpdateVersionUrl2=http://up.example.com/patch/list.xml\n");
    SetupConfig setup;
    ASSERT_TRUE(setup.Load(WideFile("zel.ini")));
    EXPECT_EQ(setup.NewUpdateVersionUrl2, L"http://up.example.com/patch/list_newStyle.xml");
    // The last dot anywhere counts, even when it belongs to the host.
    EXPECT_EQ(setup.NewUpdateVersionUrl1, L"http://up.example_newStyle.xml");
    const std::string saved = Read("zel.ini");
    EXPECT_EQ(saved.find("NewUpdateVersionUrl"), std::string::npos);
    EXPECT_NE(saved.find("ServerSid="), std::string::npos) << "a derived address saves the file";
}

TEST_F(SetupConfigTest, KeepsStoredNewStyleAddressesAndSkipsAddressesWithoutDot) {
    const std::string text = "[Setup]\n"
                             "UpdateVersionUrl=http://localhost/patch\n"
                             "UpdateVersionUrl2=http://up.example.com/list.xml\n"
                             "NewUpdateVersionUrl2=http://cdn.example.com/v2.xml\n";
    Write("zel.ini", text);
    SetupConfig setup;
    ASSERT_TRUE(setup.Load(WideFile("zel.ini")));
    EXPECT_EQ(setup.NewUpdateVersionUrl2, L"http://cdn.example.com/v2.xml");
    EXPECT_EQ(setup.NewUpdateVersionUrl1, L"");
    EXPECT_EQ(Read("zel.ini"), text) << "nothing derived, so nothing saved";
}

TEST_F(SetupConfigTest, MissingFileLoadsNothingAndTheFirstSaveCreatesIt) {
    SetupConfig& setup = *SetupConfig::Instance();
    EXPECT_FALSE(setup.Load(L""));
    EXPECT_FALSE(setup.Load(WideFile("zel.ini")));
    EXPECT_TRUE(DuiLib::Headless::MessageBoxes().empty());
    EXPECT_FALSE(Exists("zel.ini"));

    setup.ServerAddr = L"10.9.9.9";
    setup.ServerPort = L"7100";
    setup.ChargeUrl = L"10.9.9.8";
    setup.ServerSid = L"12";
    EXPECT_TRUE(setup.Save());
    EXPECT_EQ(Read("zel.ini"), "[Setup]\n" + kNewChoice);
}
