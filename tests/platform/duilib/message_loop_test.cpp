// The UI thread's loop: modal loops, WM_QUIT, and work handed over from other threads.
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "message_queue.h"
#include "tests/platform/duilib/test_window.h"

namespace {

using namespace DuiLib;
using duilib_test::SkinDirectory;
using duilib_test::TestWindow;

class MessageLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(main.CreateAt(nullptr, 0, 0, 0, 0), nullptr);
        Headless::PumpMessages();
    }
    SkinDirectory skins{{"box.xml", R"(<Window size="200,100"><Button name="Ok" pos="0,0,50,20"/>
                                       </Window>)"}};
    TestWindow main{"main", L"box.xml"};
};

TEST_F(MessageLoopTest, ShowModalDisablesTheOwnerUntilTheWindowCloses) {
    TestWindow dialog("dialog", L"box.xml");
    ASSERT_NE(dialog.CreateAt(main.GetHWND(), 0, 0, 0, 0), nullptr);
    bool ownerEnabledInside = true;
    bool modalInside = false;
    PostToUiThread([&] {
        ownerEnabledInside = IsWindowEnabled(main.GetHWND());
        modalInside = Headless::Windows()[1].modal;
        // A click on the disabled owner goes nowhere, as a user's would.
        EXPECT_FALSE(Headless::Click(main.GetHWND(), L"Ok"));
        dialog.Close(42);
    });
    EXPECT_EQ(dialog.ShowModal(), 42u);
    EXPECT_FALSE(ownerEnabledInside);
    EXPECT_TRUE(modalInside);
    EXPECT_FALSE(IsWindow(dialog.GetHWND()));
    EXPECT_TRUE(IsWindowEnabled(main.GetHWND()));
    EXPECT_EQ(Headless::ActiveWindow(), main.GetHWND());
    EXPECT_EQ(main.CountOf(L"click"), 0);
}

// The settings dialog's shape: a backdrop runs modally, its "windowinit" opens the dialog
// modally over it, and one handler closes both.
TEST_F(MessageLoopTest, NestedModalLoopsEndInTurn) {
    auto* backdrop = new TestWindow("backdrop", L"box.xml");
    backdrop->deleteOnFinalMessage = true;
    std::vector<std::string> order;
    backdrop->onNotify = [&](TNotifyUI& msg) {
        if (msg.sType != L"windowinit")
            return;
        auto* dialog = new TestWindow("dialog", L"box.xml");
        dialog->deleteOnFinalMessage = true;
        dialog->onNotify = [&, dialog](TNotifyUI& inner) {
            if (inner.sType == L"click") {
                dialog->Close();
                backdrop->Close();
            }
        };
        dialog->CreateAt(backdrop->GetHWND(), 0, 0, 0, 0);
        const HWND dialogHwnd = dialog->GetHWND();
        PostToUiThread([dialogHwnd] { Headless::Click(dialogHwnd, L"Ok"); });
        dialog->ShowModal();
        order.push_back("dialog returned");
    };
    backdrop->CreateAt(main.GetHWND(), 0, 0, 0, 0);
    backdrop->ShowModal();
    order.push_back("backdrop returned");
    EXPECT_EQ(order, (std::vector<std::string>{"dialog returned", "backdrop returned"}));
    EXPECT_EQ(Headless::Windows().size(), 1u);
    EXPECT_TRUE(IsWindowEnabled(main.GetHWND()));
}

TEST_F(MessageLoopTest, QuitInsideAModalLoopEndsItAndTheMainLoop) {
    TestWindow dialog("dialog", L"box.xml");
    std::vector<std::string> order;
    PostToUiThread([&] {
        dialog.CreateAt(main.GetHWND(), 0, 0, 0, 0);
        PostToUiThread([] { PostQuitMessage(3); });
        dialog.ShowModal();
        order.push_back("modal returned");
        EXPECT_TRUE(IsWindow(dialog.GetHWND()));
        EXPECT_TRUE(IsWindowEnabled(main.GetHWND()));
    });
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 3);
    order.push_back("loop returned");
    EXPECT_EQ(order, (std::vector<std::string>{"modal returned", "loop returned"}));
    EXPECT_TRUE(HasMessageLoopEnded());
}

TEST_F(MessageLoopTest, WorkPostedFromAWorkerRunsOnTheUiThreadInOrder) {
    EXPECT_TRUE(IsUiThread());
    const std::thread::id uiThread = std::this_thread::get_id();
    std::vector<int> ran;
    bool allOnUiThread = true;
    std::thread worker([&] {
        EXPECT_FALSE(IsUiThread());
        for (int i = 0; i < 50; ++i) {
            PostToUiThread([&, i] {
                ran.push_back(i);
                allOnUiThread = allOnUiThread && std::this_thread::get_id() == uiThread;
            });
        }
        PostQuitMessage(0);
    });
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 0);
    worker.join();
    ASSERT_EQ(ran.size(), 50u);
    EXPECT_TRUE(std::is_sorted(ran.begin(), ran.end()));
    EXPECT_TRUE(allOnUiThread);
}

TEST_F(MessageLoopTest, PostAndWaitAndSendMessageFromAWorkerAnswer) {
    const std::thread::id uiThread = std::this_thread::get_id();
    std::thread::id handledOn;
    main.onMessage = [&](UINT uMsg, WPARAM wParam, LPARAM, LRESULT& result) {
        if (uMsg != WM_USER)
            return false;
        handledOn = std::this_thread::get_id();
        result = static_cast<LRESULT>(wParam) * 2;
        return true;
    };
    int value = 0;
    bool waited = false;
    LRESULT sent = 0;
    std::thread worker([&] {
        waited = PostAndWait([&] { value = 7; });
        sent = SendMessage(main.GetHWND(), WM_USER, 21, 0);
        PostQuitMessage(0);
    });
    CPaintManagerUI::MessageLoop();
    worker.join();
    EXPECT_TRUE(waited);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(sent, 42);
    EXPECT_EQ(handledOn, uiThread);

    // On the UI thread itself the work runs at once, until the loop has ended.
    EXPECT_FALSE(PostAndWait([&] { value = 8; }));
    EXPECT_EQ(value, 7);
}

TEST_F(MessageLoopTest, PostAndWaitGivesUpOnceTheLoopHasEnded) {
    int ran = 0;
    EXPECT_TRUE(PostAndWait([&] { ++ran; })); // UI thread, loop not ended: at once
    EXPECT_EQ(ran, 1);
    PostQuitMessage(0);
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 0);
    EXPECT_TRUE(HasMessageLoopEnded());
    bool result = true;
    std::thread worker([&] { result = PostAndWait([&] { ++ran; }); });
    worker.join();
    PostToUiThread([&] { ++ran; });
    EXPECT_FALSE(result);
    EXPECT_FALSE(Headless::PumpMessages());
    EXPECT_EQ(ran, 1);
}

TEST_F(MessageLoopTest, PostAndWaitIsReleasedWhenTheLoopEndsWhileItWaits) {
    std::atomic<bool> ran{false};
    bool result = true;
    std::thread worker;
    PostToUiThread([&] {
        worker = std::thread([&] {
            PostQuitMessage(0); // queued ahead of the work below
            result = PostAndWait([&] { ran = true; });
        });
        // Hold the UI thread until both items are queued, so the worker is surely waiting.
        while (detail::PendingCount() < 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 0);
    worker.join();
    EXPECT_FALSE(result);
    EXPECT_FALSE(ran);
}

TEST_F(MessageLoopTest, PumpTakingQuitEndsTheLoop) {
    int ran = 0;
    PostToUiThread([&] { ++ran; });
    PostQuitMessage(5);
    PostToUiThread([&] { ++ran; });
    EXPECT_FALSE(Headless::PumpMessages());
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(HasMessageLoopEnded());
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 0); // ended for good: returns at once
}

} // namespace
