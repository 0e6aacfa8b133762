// The frame's address members: "zel.ini" through SetupConfig, then "Do.ini".
#include "launcher/config/setup_config.h"
#include "launcher/launcher.h"
#include "tests/launcher/config/program_dir_test.h"

class DoIniTest : public ProgramDirTest {
protected:
    // What the window's initialisation does for the addresses, with a copy left by an earlier run.
    void LoadAddresses() {
        Write("zel.ini", "[Setup]\nServerListUrl=http://zel.example.com/list1.xml\n"
                         "ServerListUrl2=http://zel.example.com/list2.xml\n"
                         "NewUpdateVersionUrl1=http://zel.example.com/up1.xml\n"
                         "NewUpdateVersionUrl2=http://zel.example.com/up2.xml\n");
        Write("Do.ini.tmp", "[Addr]\nServerListUrl1=http://stale.example.com/\n");
        SetupConfig::Instance()->Load(WideFile("zel.ini"));
        frame.InitUrls();
        frame.LoadDoIni();
    }

    LauncherFrameWnd frame;
};

TEST_F(DoIniTest, DoIniOverridesZelIniKeyByKeyWithValuesCutTo254Characters) {
    const std::string longUrl = "http://do.example.com/" + std::string(278, 'a');
    Write("Do.ini", "[Addr]\nServerListUrl1=" + longUrl + "\nUpdateVersionUrl1=\n");
    LoadAddresses();
    EXPECT_EQ(frame.ServerListUrl1, wxString::FromUTF8(longUrl.substr(0, 254)));
    EXPECT_EQ(frame.UpdateVersionUrl1, L"") << "present but empty overrides zel.ini";
    EXPECT_EQ(frame.ServerListUrl2, L"http://zel.example.com/list2.xml");
    EXPECT_EQ(Entries(), (std::set<std::string>{"zel.ini", "Do.ini"}));
}

// Whatever the stored lines end in (the copy widens each line feed to CR LF), no value keeps a
// carriage return.
TEST_F(DoIniTest, ScrambledDoIniIsReadThroughATemporaryCopyThatIsThenRemoved) {
    for (const std::string end : {"\n", "\r\n", "\r\r\n"}) {
        SCOPED_TRACE(testing::PrintToString(end));
        Write("Do.ini", Scramble("[Addr]" + end + "ServerListUrl2=http://do.example.com/list2.xml" +
                                 end + "CDNUpdateVersionUrl=http://cdn.example.com/up.xml" + end));
        LoadAddresses();
        EXPECT_EQ(frame.ServerListUrl1, L"http://zel.example.com/list1.xml");
        EXPECT_EQ(frame.ServerListUrl2, L"http://do.example.com/list2.xml");
        EXPECT_EQ(frame.CDNUpdateVersionUrl, L"http://cdn.example.com/up.xml");
        EXPECT_EQ(Entries(), (std::set<std::string>{"zel.ini", "Do.ini"}));
    }
}

TEST_F(DoIniTest, DoIniWithoutSectionsOrMissingKeepsZelIniAddressesAndLeavesNoCopy) {
    for (const char* text : {"", "ServerListUrl1=http://no-section/\n", "missing"}) {
        Write("Do.ini", text);
        if (text == std::string("missing"))
            std::filesystem::remove(File("Do.ini"));
        LoadAddresses();
        EXPECT_EQ(frame.ServerListUrl1, L"http://zel.example.com/list1.xml") << text;
        EXPECT_FALSE(std::filesystem::exists(File("Do.ini.tmp"))) << text;
    }
}
