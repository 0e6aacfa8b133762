// The headless backend: choosing it, and the message boxes it records and answers.
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "duilib/window_backend.h"
#include "tests/platform/duilib/child_process.h"
#include "tests/platform/duilib/test_window.h"

namespace {

using namespace DuiLib;
using duilib_test::TestWindow;

// The backend chosen in a fresh process: 0 headless, 1 display, 2 the display factory was
// asked (this program has no display backend, so the factory makes none).
int ChooseInChild(const char* forced, const char* display, bool registerDisplay,
                  std::string* errors) {
    const int status = duilib_test::RunInChild(
        [=](int) {
            forced ? setenv("LAUNCHER_BACKEND", forced, 1) : unsetenv("LAUNCHER_BACKEND");
            display ? setenv("DISPLAY", display, 1) : unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            static bool factoryCalled = false;
            if (registerDisplay)
                RegisterDisplayBackend([] {
                    factoryCalled = true;
                    return std::unique_ptr<WindowBackend>();
                });
            const bool headless = InitBackend() == BackendKind::Headless;
            return factoryCalled ? 2 : headless ? 0 : 1;
        },
        0, errors);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(HeadlessBackendTest, ChosenUnlessADisplayBackendIsRegisteredAndUsable) {
    std::string errors;
    EXPECT_EQ(ChooseInChild("headless", ":0", true, &errors), 0);
    EXPECT_EQ(ChooseInChild(nullptr, nullptr, true, &errors), 0); // no display to open
    EXPECT_EQ(ChooseInChild(nullptr, ":0", false, &errors), 0);   // nothing registered
    EXPECT_EQ(errors, "");
    // Asked for a display that cannot be had: headless, with a note.
    EXPECT_EQ(ChooseInChild("display", nullptr, false, &errors), 0);
    EXPECT_NE(errors.find("headless"), std::string::npos);
    EXPECT_EQ(ChooseInChild(nullptr, ":0", true, &errors), 2);
    EXPECT_EQ(ChooseInChild("display", nullptr, true, &errors), 2);
}

// A box asked for from a worker opens on the UI thread; each is recorded and answered.
TEST(HeadlessBackendTest, MessageBoxesAreRecordedAndAnsweredOnTheUiThread) {
    InitBackend();
    TestWindow owner("owner");
    owner.CreateAt(nullptr, 0, 0, 10, 10);
    EXPECT_EQ(MessageBox(owner.GetHWND(), L"text", L"caption", MB_OK), IDOK);
    Headless::SetMessageBoxHandler([](const Headless::MessageBoxRecord& box) {
        return box.text == L"again?" && IsUiThread() ? IDNO : IDCANCEL;
    });
    int fromWorker = 0;
    std::thread worker([&] {
        fromWorker = MessageBox(nullptr, L"again?", L"", MB_YESNO | MB_ICONERROR);
        PostQuitMessage(0);
    });
    CPaintManagerUI::MessageLoop();
    worker.join();
    EXPECT_EQ(fromWorker, IDNO);
    const std::vector<Headless::MessageBoxRecord> boxes = Headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].owner, owner.GetHWND());
    EXPECT_EQ(boxes[0].caption, L"caption");
    EXPECT_EQ(boxes[1].type, MB_YESNO | MB_ICONERROR);
}

// Without a screen a box is shown nowhere: its caption and text go to standard error, one line
// each, and to the application's sink (the launcher's log) on the UI thread.
TEST(HeadlessBackendTest, MessageBoxesReachStandardErrorAndTheSink) {
    std::string errors;
    const int status = duilib_test::RunInChild(
        [](int) {
            InitBackend();
            std::vector<std::wstring> sunk;
            Headless::SetMessageBoxSink([&sunk](const Headless::MessageBoxRecord& box) {
                sunk.push_back(box.caption + L"|" + box.text + (IsUiThread() ? L"" : L"!"));
            });
            MessageBox(nullptr, L"游戏无法启动，缺少 Version.ini 文件", L"错误", MB_OK);
            std::thread worker([] {
                MessageBox(nullptr, L"second", L"", MB_OK);
                PostQuitMessage(0);
            });
            CPaintManagerUI::MessageLoop();
            worker.join();
            Headless::SetMessageBoxSink(nullptr);
            MessageBox(nullptr, L"not sunk", L"c", MB_OK);
            const std::vector<std::wstring> expected{L"错误|游戏无法启动，缺少 Version.ini 文件",
                                                     L"|second"};
            return sunk == expected ? 0 : 1;
        },
        0, &errors);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(errors, "message box \"错误\": 游戏无法启动，缺少 Version.ini 文件\n"
                      "message box \"\": second\n"
                      "message box \"c\": not sunk\n");
}

} // namespace
