// The frame's address members: "zel.ini" through SetupConfig, then "Do.ini".
#include "launcher/config/default_pages.h"
#include "launcher/config/setup_config.h"
#include "launcher/launcher.h"
#include "tests/launcher/config/program_dir_test.h"

namespace {

const std::string kZelIni = "[Setup]\n"
                            "ServerListUrl=http://zel.example.com/list1.xml\n"
                            "ServerListUrl2=http://zel.example.com/list2.xml\n"
                            "NewUpdateVersionUrl1=http://zel.example.com/up1.xml\n"
                            "NewUpdateVersionUrl2=http://zel.example.com/up2.xml\n";

const std::string kFullDoIni = "[Addr]\n"
                               "ServerListUrl1=http://do.example.com/list1.xml\n"
                               "ServerListUrl2=http://do.example.com/list2.xml\n"
                               "UpdateVersionUrl1=http://do.example.com/up1.xml\n"
                               "UpdateVersionUrl2=http://do.example.com/up2.xml\n"
                               "CDNUpdateVersionUrl=http://cdn.example.com/up.xml\n";

} // namespace

class DoIniTest : public ProgramDirTest {
protected:
    // What the window's initialisation does for the addresses.
    void LoadAddresses() {
        SetupConfig::Instance()->Load(WideFile("zel.ini"));
        frame.InitUrls();
        frame.LoadDoIni();
    }

    LauncherFrameWnd frame;
};

TEST_F(DoIniTest, DoIniOverridesZelIniKeyByKey) {
    Write("zel.ini", kZelIni);
    Write("Do.ini", "[Addr]\nServerListUrl1=http://do.example.com/list1.xml\n");
    LoadAddresses();
    EXPECT_EQ(frame.ServerListUrl1, L"http://do.example.com/list1.xml");
    EXPECT_EQ(frame.ServerListUrl2, L"http://zel.example.com/list2.xml");
    EXPECT_EQ(frame.UpdateVersionUrl1, L"http://zel.example.com/up1.xml");
    EXPECT_EQ(frame.UpdateVersionUrl2, L"http://zel.example.com/up2.xml");
    EXPECT_EQ(frame.CDNUpdateVersionUrl, L"");
    EXPECT_EQ(frame.WebsiteUrl, default_pages::kWebsite);
    EXPECT_EQ(frame.Right600Url, default_pages::kRight600);
}

TEST_F(DoIniTest, PlainDoIniAloneGivesEveryAddress) {
    Write("Do.ini", kFullDoIni);
    LoadAddresses();
    EXPECT_EQ(frame.ServerListUrl1, L"http://do.example.com/list1.xml");
    EXPECT_EQ(frame.ServerListUrl2, L"http://do.example.com/list2.xml");
    EXPECT_EQ(frame.UpdateVersionUrl1, L"http://do.example.com/up1.xml");
    EXPECT_EQ(frame.UpdateVersionUrl2, L"http://do.example.com/up2.xml");
    EXPECT_EQ(frame.CDNUpdateVersionUrl, L"http://cdn.example.com/up.xml");
    EXPECT_EQ(Entries(), std::set<std::string>{"Do.ini"});
}

TEST_F(DoIniTest, ScrambledDoIniIsReadThroughATemporaryCopy) {
    Write("zel.ini", kZelIni);
    Write("Do.ini", Scramble(kFullDoIni));
    Write("Do.ini.tmp", "[Addr]\nServerListUrl1=http://stale.example.com/\n");
    LoadAddresses();
    EXPECT_EQ(frame.ServerListUrl1, L"http://do.example.com/list1.xml");
    EXPECT_EQ(frame.CDNUpdateVersionUrl, L"http://cdn.example.com/up.xml");
    EXPECT_FALSE(Exists("Do.ini.tmp"));
}

TEST_F(DoIniTest, DoIniWithoutSectionsOrMissingKeepsZelIniAddressesAndLeavesNoCopy) {
    Write("zel.ini", kZelIni);
    const char* const doIniTexts[] = {"", "ServerListUrl1=http://no-section/\n", nullptr};
    for (const char* text : doIniTexts) {
        if (text != nullptr)
            Write("Do.ini", text);
        else
            std::filesystem::remove(File("Do.ini"));
        // A copy left by an earlier run goes in every case.
        Write("Do.ini.tmp", "[Addr]\nServerListUrl1=http://stale.example.com/\n");
        LoadAddresses();
        EXPECT_EQ(frame.ServerListUrl1, L"http://zel.example.com/list1.xml");
        EXPECT_FALSE(Exists("Do.ini.tmp"));
    }
}

TEST_F(DoIniTest, ValuesAreCutTo254CharactersAndEmptyValuesStayEmpty) {
    Write("zel.ini", kZelIni);
    const std::string longUrl = "http://do.example.com/" + std::string(278, 'a');
    ASSERT_EQ(longUrl.size(), 300u);
    Write("Do.ini", "[Addr]\nServerListUrl2=" + longUrl +
                        "\nCDNUpdateVersionUrl=\n"
                        "UpdateVersionUrl1=\n");
    LoadAddresses();
    EXPECT_EQ(frame.ServerListUrl2, wxString::FromUTF8(longUrl.substr(0, 254)));
    EXPECT_EQ(frame.CDNUpdateVersionUrl, L"");
    EXPECT_EQ(frame.UpdateVersionUrl1, L"") << "present but empty overrides zel.ini";
}
