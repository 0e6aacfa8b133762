// The enter-game button on the headless backend: which server is saved into "zel.ini", the
// compatibility-layer values, the start of the stand-in game client with "ws", and the end of
// the launcher; and what happens instead while a patch is pending or the client is missing.
#include <gtest/gtest.h>

#include "duilib/headless.h"
#include "launcher/config/setup_config.h"
#include "launcher/ui/update_wnd.h"
#include "system/path.h"
#include "system/registry.h"
#include "tests/e2e/two_area_list.h"
#include "tests/launcher/prepared_frame.h"
#include "tests/support/client_start_log.h"

namespace fs = std::filesystem;
using namespace DuiLib;
using namespace testing_support;

namespace {

const wchar_t* const LayersKey =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";

const std::string SavedChoice = "[Setup]\nServerAddr=10.9.9.9\nServerPort=1\nChargeUrl=x\n";

class EnterGame : public PreparedFrame {
protected:
    void SetUp() override {
        setenv("LAUNCHER_REGISTRY_FILE", (registry.path() / "registry.ini").c_str(), 1);
    }
    void InstallClient() { fs::copy_file(BinDir() / "zel.exe", dir / "zel.exe"); }
    // Presses the button as a player would once it is enabled; false once the launcher has
    // been told to quit.
    bool PressEnterGame() {
        frame->EnterGameBtn->SetEnabled(true);
        EXPECT_TRUE(Headless::Click(hwnd, L"EnterGameBtn"));
        return Headless::PumpMessages();
    }
    std::string ClientLog() { return WaitForClientStartLine(dir.path()); }
    void ExpectNoClientStarted() {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_FALSE(fs::exists(dir / "zel-started.log"));
    }

    TempDir registry;
};

} // namespace

TEST_F(EnterGame, ChosenServerIsSavedAndTheClientStartsWithWsThenTheLauncherQuits) {
    InstallClient();
    WriteFile(dir / "ServerList.xml", kTwoAreaList);
    WriteFile(dir / "zel.ini", "; the game's own\r\n[Setup]\r\nServerSid=22\r\n");
    ASSERT_TRUE(platform::RegistryKey::Create(LayersKey));
    Start();
    EXPECT_EQ(frame->UpdateWnd.load()->ServerBtn->GetText(), L"North");

    EXPECT_FALSE(PressEnterGame());
    const std::string expected = "args=[\"ws\"] cwd=\"" + fs::current_path().string() +
                                 "\" ServerAddr=\"10.0.0.2\" ServerPort=\"7002\" "
                                 "ChargeUrl=\"c2\" ServerSid=\"22\"\n";
    EXPECT_EQ(ClientLog(), expected);
    auto key = platform::RegistryKey::Open(LayersKey);
    ASSERT_TRUE(key.has_value());
    for (const char* program : {"launcher.exe", "zel.exe"}) {
        const auto value = key->Get(dir.wide() + platform::Utf8ToWide(program).value());
        ASSERT_TRUE(value.has_value()) << program;
        EXPECT_EQ(value->type, 1u);
        EXPECT_EQ(value->data, (std::vector<uint8_t>{'~', 0, ' ', 0, 0, 0})) << program;
    }
}

TEST_F(EnterGame, WithoutTheLayersKeyTheClientStillStartsAndNoKeyIsCreated) {
    InstallClient();
    WriteFile(dir / "zel.ini", SavedChoice);
    Start();
    EXPECT_FALSE(PressEnterGame());
    EXPECT_NE(ClientLog().find("ServerAddr=\"10.9.9.9\""), std::string::npos);
    EXPECT_FALSE(platform::RegistryKey::Open(LayersKey).has_value());
}

TEST_F(EnterGame, WithNothingChosenOrSavedTheFirstServerOfTheFirstAreaIsTaken) {
    InstallClient();
    // The first area's server has no sid: nothing is pre-selected, the fallback still finds it.
    WriteFile(dir / "ServerList.xml",
              "<tavi><area name=\"A\"><server name=\"\" address=\"10.1.1.1\" port=\"9\" "
              "chargeIp=\"cx\"/></area></tavi>");
    Start();
    EXPECT_FALSE(PressEnterGame());
    EXPECT_NE(ClientLog().find("ServerAddr=\"10.1.1.1\" ServerPort=\"9\" ChargeUrl=\"cx\""),
              std::string::npos);
}

TEST_F(EnterGame, WithNothingToEnterNothingHappens) {
    InstallClient();
    WriteFile(dir / "ServerList.xml", "<tavi><area name=\"empty\"/></tavi>");
    Start();
    EXPECT_TRUE(PressEnterGame());
    EXPECT_TRUE(Headless::MessageBoxes().empty());
    EXPECT_FALSE(fs::exists(dir / "zel.ini"));
    ExpectNoClientStarted();
}

TEST_F(EnterGame, WhileAPatchIsPendingTheButtonTurnsOffAndThePlayerIsAskedToWait) {
    InstallClient();
    WriteFile(dir / "zel.ini", SavedChoice);
    Start();
    frame->UpdateNeeded = true;
    EXPECT_TRUE(PressEnterGame());
    EXPECT_FALSE(frame->EnterGameBtn->IsEnabled());
    const auto boxes = Headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"游戏正在连接服务器，请稍候！");
    EXPECT_EQ(boxes[0].caption, L"提示");
    EXPECT_EQ(boxes[0].owner, hwnd);
    EXPECT_EQ(ReadFile(dir / "zel.ini"), SavedChoice);
    ExpectNoClientStarted();
}

TEST_F(EnterGame, AMissingClientIsReportedNothingStartsAndTheLauncherQuits) {
    WriteFile(dir / "zel.ini", SavedChoice);
    ASSERT_TRUE(platform::RegistryKey::Create(LayersKey));
    Start();
    EXPECT_FALSE(PressEnterGame());
    const auto boxes = Headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"游戏无法启动，缺少 zel.exe 文件或重新安装游戏！");
    EXPECT_EQ(boxes[0].caption, L"错误");
    auto key = platform::RegistryKey::Open(LayersKey);
    ASSERT_TRUE(key.has_value());
    EXPECT_FALSE(key->Get(dir.wide() + L"zel.exe").has_value());
}
