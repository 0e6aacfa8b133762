// wxWidgets lives as long as the main window: initialised with it, torn down with it, so that
// nothing of the library is left for the leak checker at exit.
#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>
#include <wx/app.h>

#include "duilib/backend.h"
#include "launcher/globals.h"
#include "launcher/winmain.h"
#include "tests/support/temp_dir.h"

using namespace testing_support;

// A termination signal during start-up ends the run as soon as its loop starts; WinMain still
// releases the main window, and the library with it.
TEST(WxLifetime, TheLibraryIsTornDownWithTheMainWindow) {
    TempDir dir;
    std::filesystem::copy_file(BinDir() / "bt.dat", dir.path() / "bt.dat");
    ASSERT_EQ(DuiLib::InitBackend(), DuiLib::BackendKind::Headless);
    ASSERT_EQ(wxAppConsole::GetInstance(), nullptr);
    raise(SIGTERM);
    EXPECT_EQ(WinMain(dir.wide().c_str(), nullptr, "", 0), 0);
    EXPECT_EQ(TheLauncherFrame.load(), nullptr);
    EXPECT_EQ(wxAppConsole::GetInstance(), nullptr);
}
