// SIGTERM and SIGINT during the message loop end the process as closing its window would.
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "tests/platform/duilib/child_process.h"
#include "tests/platform/duilib/test_window.h"

namespace {

using namespace DuiLib;
using duilib_test::ChildProcess;
using duilib_test::TestWindow;

// Tells the parent, from inside the running loop, that the signal may come now.
void ReportReadyFromTheLoop(int readyFd) {
    PostToUiThread([readyFd] {
        const char byte = 'r';
        [[maybe_unused]] const ssize_t written = write(readyFd, &byte, 1);
    });
}

bool SawSystemClose(const TestWindow& window) {
    return std::find(window.messages.begin(), window.messages.end(), WM_SYSCOMMAND) !=
           window.messages.end();
}

int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(TerminationSignalTest, SigtermClosesTheMainWindowAndTheLoopEnds) {
    ChildProcess child([](int readyFd) {
        InitBackend();
        TestWindow main("main");
        duilib_test::QuitOnClose(main);
        main.CreateAt(nullptr, 0, 0, 100, 100);
        TestWindow popup("popup"); // owned windows are not the one that gets closed
        popup.CreateAt(main.GetHWND(), 0, 0, 10, 10);
        ReportReadyFromTheLoop(readyFd);
        const int code = CPaintManagerUI::MessageLoop();
        return code == 0 && SawSystemClose(main) && !SawSystemClose(popup) ? 0 : 10;
    });
    ASSERT_TRUE(child.WaitReady());
    child.Signal(SIGTERM);
    EXPECT_EQ(ExitCodeOf(child.Wait()), 0) << child.Stderr();
}

TEST(TerminationSignalTest, SigintWithoutWindowsQuitsTheLoop) {
    ChildProcess child([](int readyFd) {
        InitBackend();
        ReportReadyFromTheLoop(readyFd);
        return CPaintManagerUI::MessageLoop();
    });
    ASSERT_TRUE(child.WaitReady());
    child.Signal(SIGINT);
    EXPECT_EQ(ExitCodeOf(child.Wait()), 0) << child.Stderr();
}

TEST(TerminationSignalTest, SigtermDuringAModalLoopEndsBothLoops) {
    ChildProcess child([](int readyFd) {
        InitBackend();
        TestWindow main("main");
        duilib_test::QuitOnClose(main);
        main.CreateAt(nullptr, 0, 0, 100, 100);
        PostToUiThread([&main, readyFd] {
            TestWindow dialog("dialog");
            dialog.CreateAt(main.GetHWND(), 0, 0, 10, 10);
            ReportReadyFromTheLoop(readyFd);
            dialog.ShowModal();
        });
        return CPaintManagerUI::MessageLoop() == 0 && SawSystemClose(main) ? 0 : 10;
    });
    ASSERT_TRUE(child.WaitReady());
    child.Signal(SIGTERM);
    EXPECT_EQ(ExitCodeOf(child.Wait()), 0) << child.Stderr();
}

TEST(TerminationSignalTest, AfterTheLoopTheSignalHasItsUsualEffect) {
    ChildProcess child([](int) {
        InitBackend();
        PostQuitMessage(0);
        CPaintManagerUI::MessageLoop();
        raise(SIGTERM);
        return 0;
    });
    const int status = child.Wait();
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
}

} // namespace
