// Worker threads that cannot be started: start-up goes on, and the failure is on record even
// when run.log could not be opened.
#include <atomic>
#include <filesystem>
#include <pthread.h>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "duilib/ui_thread.h"
#include "duilib/window.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/winmain.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_for.h"

using namespace testing_support;

namespace {

// While it lives, threads created with default attributes ask for a stack no machine has, so
// they fail to start as in a process that has run out of threads. Threads made before keep
// running.
class NoNewThreads {
public:
    NoNewThreads() {
        pthread_getattr_default_np(&saved_);
        pthread_attr_t huge;
        pthread_attr_init(&huge);
        pthread_attr_setstacksize(&huge, size_t{1} << 46);
        pthread_setattr_default_np(&huge);
        pthread_attr_destroy(&huge);
    }
    ~NoNewThreads() {
        pthread_setattr_default_np(&saved_);
        pthread_attr_destroy(&saved_);
    }
    NoNewThreads(const NoNewThreads&) = delete;
    NoNewThreads& operator=(const NoNewThreads&) = delete;

private:
    pthread_attr_t saved_;
};

} // namespace

TEST(WorkerStart, FailuresReachStandardErrorWithoutRunLogAndTheWindowStillComesUp) {
    TempDir dir;
    std::filesystem::copy_file(BinDir() / "bt.dat", dir / "bt.dat");
    std::filesystem::create_directory(dir / "run.log");
    setenv("LAUNCHER_SCREEN", "1024x768", 1);
    std::atomic<bool> ended{false};
    std::atomic<bool> prepared{false};
    // Made before threads stop starting: it ends the run once the window is prepared.
    std::thread closer([&] {
        WaitFor(
            [&] {
                const LauncherFrameWnd* frame = TheLauncherFrame.load();
                return ended || (frame != nullptr && frame->WindowPrepared);
            },
            20000);
        prepared = !ended;
        DuiLib::PostToUiThread([] { DuiLib::PostQuitMessage(0); });
    });
    ::testing::internal::CaptureStderr();
    {
        NoNewThreads noThreads;
        EXPECT_EQ(WinMain(dir.wide().c_str(), nullptr, "", 0), 0);
    }
    ended = true;
    closer.join();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(prepared);
    EXPECT_NE(said.find("Error: Can't create the update thread!\n"), std::string::npos) << said;
    EXPECT_NE(said.find("Error: Can't create the Load  server list thread!\n"), std::string::npos)
        << said;
}
