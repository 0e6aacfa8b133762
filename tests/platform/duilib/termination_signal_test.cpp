// SIGTERM and SIGINT during the message loop end the process as closing its window would; one
// during start-up ends it as soon as the loop starts.
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "duilib/duilib.h"
#include "tests/platform/duilib/child_process.h"
#include "tests/platform/duilib/test_window.h"

namespace {

using namespace DuiLib;
using duilib_test::TestWindow;

// Tells the parent, from inside the running loop, that the signal may come now.
void ReportReadyFromTheLoop(int readyFd) {
    PostToUiThread([readyFd] {
        const char byte = 'r';
        [[maybe_unused]] const ssize_t written = write(readyFd, &byte, 1);
    });
}

bool SawSystemClose(const TestWindow& window) {
    return std::ranges::find(window.messages, WM_SYSCOMMAND) != window.messages.end();
}

// The main window's SC_CLOSE ends the loop, as the launcher's does.
bool CloseEndsTheLoop(UINT uMsg, WPARAM wParam, LPARAM, LRESULT&) {
    const bool close = uMsg == WM_SYSCOMMAND && wParam == SC_CLOSE;
    if (close)
        PostQuitMessage(0);
    return close;
}

enum class Windows { None, Main, MainWithModalPopup };

// Runs the loop until a signal comes; 0 when it ended as closing the main window would (the
// owned popup is not the one to be closed).
int RunUntilSignalled(int readyFd, Windows windows) {
    InitBackend();
    TestWindow main("main");
    main.onMessage = CloseEndsTheLoop;
    TestWindow popup("popup");
    if (windows != Windows::None) {
        main.CreateAt(nullptr, 0, 0, 100, 100);
        popup.CreateAt(main.GetHWND(), 0, 0, 10, 10);
    }
    PostToUiThread([&popup, readyFd, windows] {
        ReportReadyFromTheLoop(readyFd);
        if (windows == Windows::MainWithModalPopup)
            popup.ShowModal();
    });
    const int code = CPaintManagerUI::MessageLoop();
    const bool closed = windows == Windows::None || SawSystemClose(main);
    return code == 0 && closed && !SawSystemClose(popup) ? 0 : 10;
}

TEST(TerminationSignalTest, SigtermOrSigintEndsTheLoopEvenFromAModalLoop) {
    const std::pair<int, Windows> cases[] = {
        {SIGTERM, Windows::Main}, {SIGTERM, Windows::MainWithModalPopup}, {SIGINT, Windows::None}};
    for (const auto& [signal, windows] : cases) {
        const int status = duilib_test::RunInChild(
            [windows](int fd) { return RunUntilSignalled(fd, windows); }, signal);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << signal << " " << static_cast<int>(windows);
    }
}

// A signal during start-up: the loop ends as soon as it starts, and nothing queued for the
// start runs, neither the window's first "windowinit" nor other work waiting for the loop.
TEST(TerminationSignalTest, ASignalBeforeTheLoopEndsItBeforeTheRestOfTheStart) {
    const int status = duilib_test::RunInChild([](int) {
        duilib_test::SkinDirectory skins{{"box.xml", R"(<Window size="200,100">
                                                 <Button name="Ok" pos="0,0,50,20"/></Window>)"}};
        TestWindow main("main", L"box.xml");
        main.onMessage = CloseEndsTheLoop;
        if (main.CreateAt(nullptr, 0, 0, 0, 0) == nullptr)
            return 1;
        bool restOfStartRan = false;
        PostToUiThread([&restOfStartRan] { restOfStartRan = true; });
        raise(SIGTERM);
        if (CPaintManagerUI::MessageLoop() != 0)
            return 2;
        if (!main.notifications.empty() || restOfStartRan)
            return 3;
        return HasMessageLoopEnded() ? 0 : 4;
    });
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(TerminationSignalTest, AfterTheLoopTheSignalHasItsUsualEffect) {
    const int status = duilib_test::RunInChild([](int) {
        InitBackend();
        PostQuitMessage(0);
        CPaintManagerUI::MessageLoop();
        raise(SIGTERM);
        return 0;
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
}

} // namespace
