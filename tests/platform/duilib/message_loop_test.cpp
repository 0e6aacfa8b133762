// The UI thread's loop: modal loops, WM_QUIT, and work handed over from other threads.
#include <algorithm>
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
using duilib_test::TestWindow;
using Order = std::vector<std::string>;

class MessageLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(main.CreateAt(nullptr, 0, 0, 0, 0), nullptr);
        Headless::PumpMessages();
    }
    duilib_test::SkinDirectory skins{{"box.xml", R"(<Window size="200,100">
                                           <Button name="Ok" pos="0,0,50,20"/></Window>)"}};
    TestWindow main{"main", L"box.xml"};
};

// The settings dialog's shape: a backdrop runs modally, its "windowinit" opens the dialog
// modally over it, and one handler closes both.
TEST_F(MessageLoopTest, NestedModalLoopsDisableTheirOwnersAndEndInTurn) {
    auto* backdrop = new TestWindow("backdrop", L"box.xml");
    backdrop->deleteOnFinalMessage = true;
    Order order;
    backdrop->onNotify = [&](TNotifyUI& msg) {
        if (msg.sType != L"windowinit")
            return;
        auto* dialog = new TestWindow("dialog", L"box.xml");
        dialog->deleteOnFinalMessage = true;
        dialog->onNotify = [&, dialog](TNotifyUI& inner) {
            if (inner.sType == L"click") {
                dialog->Close(42);
                backdrop->Close(7);
            }
        };
        const HWND dialogHwnd = dialog->CreateAt(backdrop->GetHWND(), 0, 0, 0, 0);
        PostToUiThread([&, dialogHwnd] {
            // A click on a disabled owner goes nowhere, as a user's would.
            EXPECT_FALSE(IsWindowEnabled(main.GetHWND()) || IsWindowEnabled(backdrop->GetHWND()));
            EXPECT_FALSE(Headless::Click(main.GetHWND(), L"Ok"));
            Headless::Click(dialogHwnd, L"Ok");
        });
        order.push_back("dialog returned " + std::to_string(dialog->ShowModal()));
    };
    backdrop->CreateAt(main.GetHWND(), 0, 0, 0, 0);
    order.push_back("backdrop returned " + std::to_string(backdrop->ShowModal()));
    EXPECT_EQ(order, (Order{"dialog returned 42", "backdrop returned 7"}));
    EXPECT_EQ(Headless::Windows().size(), 1u);
    EXPECT_TRUE(IsWindowEnabled(main.GetHWND()));
    EXPECT_EQ(Headless::ActiveWindow(), main.GetHWND());
    EXPECT_TRUE(main.SendersOf(L"click").empty());
}

// WM_QUIT taken by a modal loop is posted again, so the main loop ends with its code too.
TEST_F(MessageLoopTest, QuitInsideAModalLoopEndsItAndTheMainLoop) {
    TestWindow dialog("dialog", L"box.xml");
    Order order;
    PostToUiThread([&] {
        dialog.CreateAt(main.GetHWND(), 0, 0, 0, 0);
        PostToUiThread([] { PostQuitMessage(3); });
        dialog.ShowModal();
        order.push_back("modal returned");
        EXPECT_TRUE(IsWindowEnabled(main.GetHWND()));
    });
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 3);
    order.push_back("loop returned");
    EXPECT_EQ(order, (Order{"modal returned", "loop returned"}));
}

TEST_F(MessageLoopTest, WorkFromAWorkerRunsOnTheUiThreadInOrderAndAnswers) {
    main.onMessage = [](UINT uMsg, WPARAM wParam, LPARAM, LRESULT& result) {
        result = static_cast<LRESULT>(wParam) * 2;
        return uMsg == WM_USER && IsUiThread();
    };
    std::vector<int> ran; // -1 for work that ran on another thread
    bool waited = false;
    LRESULT sent = 0;
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i)
            PostToUiThread([&, i] { ran.push_back(IsUiThread() ? i : -1); });
        waited = PostAndWait([&] { ran.push_back(IsUiThread() ? 50 : -1); });
        sent = SendMessage(main.GetHWND(), WM_USER, 21, 0);
        PostQuitMessage(0);
    });
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 0);
    worker.join();
    ASSERT_EQ(ran.size(), 51u);
    EXPECT_TRUE(ran.front() == 0 && std::is_sorted(ran.begin(), ran.end()));
    EXPECT_TRUE(waited);
    EXPECT_EQ(sent, 42);
}

// A burst of values from a worker costs the UI thread one hand-over per pending turn, and the
// newest value always arrives last.
TEST_F(MessageLoopTest, PostLatestHandsOverOnlyTheNewestValue) {
    std::vector<float> shown; // -1 for a call off the UI thread
    PostLatest handOver([&](float value) { shown.push_back(IsUiThread() ? value : -1.0f); });
    std::thread worker([&] {
        for (int i = 1; i <= 1000; ++i)
            handOver.Post(static_cast<float>(i));
    });
    worker.join();
    Headless::PumpMessages();
    ASSERT_EQ(shown.size(), 1u); // one hand-over was pending for the whole burst
    EXPECT_EQ(shown.back(), 1000.0f);

    handOver.Post(1001.0f); // the next value posts a new hand-over
    Headless::PumpMessages();
    EXPECT_EQ(shown, (std::vector<float>{1000.0f, 1001.0f}));
}

// A worker waiting on the UI thread is released with false when the loop ends, while it waits
// or later; nothing queued behind WM_QUIT runs.
TEST_F(MessageLoopTest, PostAndWaitGivesUpWhenTheLoopEnds) {
    int ran = 0;
    EXPECT_TRUE(PostAndWait([&] { ++ran; })); // on the UI thread before the end: at once
    bool whileWaiting = true;
    std::thread worker;
    PostToUiThread([&] {
        worker = std::thread([&] {
            PostQuitMessage(0); // queued ahead of the work below
            whileWaiting = PostAndWait([&] { ++ran; });
        });
        // Hold the UI thread until both items are queued, so the worker is surely waiting.
        while (detail::PendingCount() < 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 0);
    worker.join();
    EXPECT_FALSE(whileWaiting);
    bool later = true;
    std::thread([&] { later = PostAndWait([&] { ++ran; }); }).join();
    EXPECT_FALSE(later);
    EXPECT_FALSE(PostAndWait([&] { ++ran; })); // on the UI thread too
    PostToUiThread([&] { ++ran; });
    EXPECT_FALSE(Headless::PumpMessages());
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 0); // ended for good: returns at once
    EXPECT_EQ(ran, 1);
}

} // namespace
