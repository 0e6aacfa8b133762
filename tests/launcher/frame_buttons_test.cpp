// The main window's buttons on the headless backend: the pages the link buttons open (through a
// stand-in opener first on PATH, so no real browser starts), minimising, and the registration
// window of the outside module.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "duilib/headless.h"
#include "duilib/ui_thread.h"
#include "tests/launcher/prepared_frame.h"

using namespace DuiLib;
using namespace testing_support;

namespace {

class FrameButtons : public PreparedFrame {
protected:
    void SetUp() override {
        const std::filesystem::path opener = openers / "xdg-open";
        WriteFile(opener,
                  "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + (openers / "opened").string() + "'\n");
        chmod(opener.c_str(), 0755);
        const char* path = std::getenv("PATH");
        setenv("PATH", (openers.path().string() + ":" + (path ? path : "/usr/bin:/bin")).c_str(),
               1);
    }
    // The pages the stand-in opener was asked for, one per line.
    std::string Opened() const {
        return std::filesystem::exists(openers / "opened") ? ReadFile(openers / "opened") : "";
    }

    TempDir openers;
};

} // namespace

TEST_F(FrameButtons, EachLinkButtonOpensItsOwnPage) {
    WriteFile(dir / "web.ini", "[Web]\nWebsiteUrl=http://site.test/home\n"
                               "RechargeUrl=http://pay.test/charge?game=7\n"
                               "BBSUrl=http://forum.test/\n");
    Start();
    const std::pair<const wchar_t*, std::string> buttons[] = {
        {L"WebBtn", "http://site.test/home\n"},
        {L"RechargeBtn", "http://pay.test/charge?game=7\n"},
        {L"ForumBtn", "http://forum.test/\n"},
        {L"CustServiceBtn", "http://www.example.com/kefu.php\n"},
    };
    std::string expected;
    for (const auto& [button, page] : buttons) {
        ASSERT_TRUE(Headless::Click(hwnd, button));
        expected += page;
        // Each opener runs detached: the next click waits until this one has written.
        EXPECT_TRUE(WaitFor([&] { return Opened() == expected; }, 20000)) << Opened();
    }
    EXPECT_TRUE(IsWindowVisible(hwnd));
}

TEST_F(FrameButtons, MinimiseLeavesTheLauncherRunningIconic) {
    Start();
    ASSERT_TRUE(Headless::Click(hwnd, L"MinBtn"));
    EXPECT_TRUE(IsIconic(hwnd));
    EXPECT_TRUE(Headless::PumpMessages()) << "minimising must not end the launcher";
    EXPECT_EQ(Opened(), "");
}

// The module's window is shown, and gone when the call returns.
TEST_F(FrameButtons, RegistrationOpensTheModulesWindowAndReturnsWhenItCloses) {
    std::filesystem::copy_file(BinDir() / "Register.dll", dir / "Register.dll");
    Start();
    std::wstring title;
    std::function<void()> whenShown = [&] {
        const HWND registration = Headless::FindWindowByClass(L"RegisterWnd");
        if (registration == nullptr) {
            PostToUiThread(whenShown);
            return;
        }
        for (const Headless::WindowRecord& record : Headless::Windows())
            if (record.hwnd == registration)
                title = record.title;
        EXPECT_TRUE(Headless::Click(registration, L"CloseBtn"));
    };
    PostToUiThread(whenShown);
    ASSERT_TRUE(Headless::Click(hwnd, L"RegisterBtn"));
    EXPECT_EQ(title, L"注册账号");
    EXPECT_EQ(Headless::FindWindowByClass(L"RegisterWnd"), nullptr);
    EXPECT_TRUE(Headless::PumpMessages());
}
