#include "launcher/config/setup_config.h"

#include "duilib/headless.h"
#include "tests/launcher/config/program_dir_test.h"
#include "tests/support/unprivileged.h"

namespace {

// A file as the game writes it, around the chosen-server lines; "\xB7\xFE\xCE\xF1" is GB18030
// text, not valid UTF-8. No new-style update address is missing and derivable.
std::string ZelIni(const std::string& chosenServer) {
    return "; written by the game\n[Other]\nName=\xB7\xFE\xCE\xF1\nPath=C:\\Games\\zel\n\n"
           "[Setup]\nServerListUrl=http://list.example.com/a.xml\n"
           "UpdateVersionUrl=http://localhost/patch\n"
           "UpdateVersionUrl2=http://up.example.com/list.xml\n"
           "NewUpdateVersionUrl2=http://cdn.example.com/v2.xml\n" +
           chosenServer + "Music=\xB7\xFE\xCE\xF1\n";
}

const std::string kOldChoice = "ServerAddr=10.0.0.1\nServerPort=7000\nChargeUrl=10.0.0.2\n"
                               "ServerSid=3\n";
const std::string kNewChoice = "ServerAddr=10.9.9.9\nServerPort=7100\nChargeUrl=10.9.9.8\n"
                               "ServerSid=12\n";

} // namespace

using SetupConfigTest = ProgramDirTest;

TEST_F(SetupConfigTest, LoadsTheKeysAndSaveReplacesTheFileRewritingOnlyTheChosenServer) {
    Write("zel.ini", ZelIni(kOldChoice));
    SetupConfig& setup = *SetupConfig::Instance();
    ASSERT_TRUE(setup.Load(WideFile("zel.ini")));
    EXPECT_EQ(setup.ServerAddr + L" " + setup.ServerPort + L" " + setup.ChargeUrl + L" " +
                  setup.ServerSid,
              L"10.0.0.1 7000 10.0.0.2 3");
    EXPECT_EQ(setup.NewUpdateVersionUrl1, L"") << "no dot to derive it from";
    EXPECT_EQ(setup.NewUpdateVersionUrl2, L"http://cdn.example.com/v2.xml");

    setup.ServerAddr = L"10.9.9.9";
    setup.ServerPort = L"7100";
    setup.ChargeUrl = L"10.9.9.8";
    setup.ServerSid = L"12";
    EXPECT_TRUE(setup.Save());
    EXPECT_EQ(Read("zel.ini"), ZelIni(kNewChoice));
    EXPECT_EQ(Entries(), std::set<std::string>{"zel.ini"}) << "no temporary file left";
}

TEST_F(SetupConfigTest, DerivesMissingNewStyleUpdateAddressesAndSavesOnlyTheChosenServer) {
    const std::string text = "[Setup]\nUpdateVersionUrl=http://up.example.com/patch\n"
                             "UpdateVersionUrl2=http://up.example.com/patch/list.xml\n";
    Write("zel.ini", text);
    SetupConfig setup;
    ASSERT_TRUE(setup.Load(WideFile("zel.ini")));
    EXPECT_EQ(setup.NewUpdateVersionUrl2, L"http://up.example.com/patch/list_newStyle.xml");
    // The last dot anywhere counts, even when it belongs to the host.
    EXPECT_EQ(setup.NewUpdateVersionUrl1, L"http://up.example_newStyle.xml");
    EXPECT_EQ(Read("zel.ini"), text + "ServerAddr=\nServerPort=\nChargeUrl=\nServerSid=\n");
}

TEST_F(SetupConfigTest, MissingFileLoadsNothingSilentlyAndTheFirstSaveCreatesIt) {
    SetupConfig& setup = *SetupConfig::Instance();
    EXPECT_FALSE(setup.Load(L""));
    EXPECT_FALSE(setup.Load(WideFile("zel.ini")));
    EXPECT_TRUE(DuiLib::Headless::MessageBoxes().empty());
    EXPECT_TRUE(Entries().empty());
    setup.ServerSid = L"12";
    EXPECT_TRUE(setup.Save());
    EXPECT_EQ(Read("zel.ini"), "[Setup]\nServerAddr=\nServerPort=\nChargeUrl=\nServerSid=12\n");
}

TEST_F(SetupConfigTest, AFileNotReadWholeAndFaithfullyIsNeverWrittenBack) {
    using namespace std::string_literals;
    // An address to derive makes Load itself save.
    const std::string head = "[Setup]\nUpdateVersionUrl=http://up.example.com/a.xml\n";
    const std::string files[] = {
        // Everything after the NUL byte would be dropped by a rewrite.
        head + "ServerAddr=10.0.0.1\nName=a\0b\nServerSid=3\n[Other]\nKeep=1\n"s,
        // A lone CR ends a line for the ini library, not for the game.
        head + "ServerAddr=10.0.0.1\nName=a\rServerSid=3\n[Other]\nKeep=1\n",
    };
    for (const std::string& text : files) {
        Write("zel.ini", text);
        SetupConfig setup;
        ASSERT_TRUE(setup.Load(WideFile("zel.ini")));
        EXPECT_EQ(setup.ServerAddr, L"10.0.0.1");
        EXPECT_EQ(setup.NewUpdateVersionUrl1, L"http://up.example.com/a_newStyle.xml");
        setup.ServerAddr = L"10.9.9.9";
        EXPECT_FALSE(setup.Save());
        EXPECT_EQ(Read("zel.ini"), text);
        EXPECT_EQ(Entries(), std::set<std::string>{"zel.ini"});
    }
}

TEST_F(SetupConfigTest, AByteOrderMarkIsSkippedOnReadingAndKeptOnSaving) {
    const std::string before = "\xEF\xBB\xBF[Setup]\r\nServerListUrl=http://list.example.com/\r\n"
                               "ServerAddr=10.0.0.1\r\nServerSid=3\r\n";
    Write("zel.ini", before);
    SetupConfig setup;
    ASSERT_TRUE(setup.Load(WideFile("zel.ini")));
    EXPECT_EQ(setup.ServerListUrl, L"http://list.example.com/");
    EXPECT_EQ(setup.ServerAddr, L"10.0.0.1");
    setup.ServerSid = L"4";
    EXPECT_TRUE(setup.Save());
    EXPECT_EQ(Read("zel.ini"), "\xEF\xBB\xBF[Setup]\r\nServerListUrl=http://list.example.com/\r\n"
                               "ServerAddr=10.0.0.1\r\nServerSid=4\r\nServerPort=\r\n"
                               "ChargeUrl=\r\n");
}

// A file without write permission for anyone is in settings_file_test; here the owner may
// write it, and we are someone else in a directory we may write.
TEST_F(SetupConfigTest, AFileWeMayNotWriteIsNotReplaced) {
    const std::string before = "[Setup]\nServerAddr=10.0.0.1\n";
    Write("zel.ini", before);
    std::filesystem::permissions(File("zel.ini"), std::filesystem::perms::owner_read |
                                                      std::filesystem::perms::owner_write |
                                                      std::filesystem::perms::group_read |
                                                      std::filesystem::perms::others_read);
    const wxString path = WideFile("zel.ini");
    EXPECT_TRUE(testing_support::AsUnprivilegedUser(dir.path(), [&] {
        SetupConfig other;
        other.FilePath = path;
        other.ServerAddr = L"10.9.9.9";
        return !other.Save() && testing_support::ReadFile(File("zel.ini")) == before;
    }));
    EXPECT_EQ(Read("zel.ini"), before);
    EXPECT_EQ(Entries(), std::set<std::string>{"zel.ini"});
}
