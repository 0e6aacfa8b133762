// The display backend on a real X server: windows where their records say, input from the X
// server's own pointer (xdotool), pixels read back from the screen, modal loops and dialogs.
#include <csignal>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include <wx/app.h>
#include <wx/image.h>
#include <wx/mstream.h>
#include <wx/webview.h>

#include "duilib/backend.h"
#include "duilib/display.h"
#include "duilib/duilib.h"
#include "duilib/window_backend.h"
#include "tests/platform/duilib/child_process.h"
#include "tests/platform/duilib/display/screen_pixels.h"
#include "tests/platform/duilib/test_window.h"
#include "tests/support/test_server.h"
#include "tests/support/wait_for.h"

namespace {

using namespace DuiLib;
using display_test::ClickAt;
using display_test::Near;
using display_test::PumpUntil;
using display_test::Rect;
using display_test::RgbAt;
using display_test::WindowGeometry;
using display_test::Xdotool;
using duilib_test::TestWindow;

constexpr uint32_t kBackground = 0xFF2040C0;
constexpr uint32_t kSwatch = 0xFFE03020;
constexpr uint32_t kButton = 0xFF30A050;
constexpr int kCaptionBottom = 40;

// 240 x 160: a caption band on top, a button and a coloured swatch.
const char* const kSkin = R"(<?xml version="1.0" encoding="UTF-8"?>
<Window size="240,160" caption="0,0,0,40" bkcolor="#FF2040C0">
  <Container name="root" pos="0,0,240,160" bkcolor="#FF2040C0">
    <Button name="ok" pos="20,100,120,140" text="确定" bkcolor="#FF30A050" textcolor="#FFFFFFFF"/>
    <Control name="swatch" pos="140,60,220,90" bkcolor="#FFE03020"/>
  </Container>
</Window>)";

// Two images: a real one scaled into its control, and one whose header claims 100000 x 100000.
const char* const kImageSkin = R"(<?xml version="1.0" encoding="UTF-8"?>
<Window size="240,160" bkcolor="#FF2040C0">
  <Container name="root" pos="0,0,240,160" bkcolor="#FF2040C0">
    <Control name="picture" pos="20,20,100,100" bkimage="two_tone.png"/>
    <Control name="bomb" pos="120,20,220,100" bkimage="huge.png"/>
  </Container>
</Window>)";

// A 2 x 1 PNG: red on the left, green on the right.
std::string TwoTonePng() {
    wxImage image(2, 1);
    image.SetRGB(0, 0, 0xFF, 0, 0);
    image.SetRGB(1, 0, 0, 0xFF, 0);
    wxMemoryOutputStream out;
    image.SaveFile(out, wxBITMAP_TYPE_PNG);
    std::string bytes(out.GetSize(), '\0');
    out.CopyTo(bytes.data(), bytes.size());
    return bytes;
}

// The first bytes of the two-tone PNG with the header's size raised; the rest stays as it was.
std::string HugePng() {
    std::string bytes = TwoTonePng();
    const char huge[] = {0, 1, static_cast<char>(0x86), static_cast<char>(0xA0)}; // 100000
    bytes.replace(16, 4, huge, 4);
    bytes.replace(20, 4, huge, 4);
    return bytes;
}

// A web panel: the browser control fills it.
const char* const kWebSkin = R"(<?xml version="1.0" encoding="UTF-8"?>
<Window size="240,160" bkcolor="#FF000000">
  <ActiveX name="IE" pos="0,0,240,160"/>
</Window>)";

// The X window of the given name as the X server has it mapped, found by xdotool.
Rect MappedGeometry(const std::string& name) {
    std::istringstream ids(Xdotool("search --sync --onlyvisible --name " + name).output);
    std::string id;
    return ids >> id ? WindowGeometry(id) : Rect{};
}

wxImage Screenshot() {
    return display_test::Screenshot(testing::TempDir() + "display_backend_screenshot.png");
}

wxWebView* FindWebView(wxWindow* window) {
    if (auto* view = dynamic_cast<wxWebView*>(window))
        return view;
    for (wxWindow* child : window->GetChildren())
        if (wxWebView* view = FindWebView(child))
            return view;
    return nullptr;
}

class DisplayBackendTest : public testing::Test {
protected:
    void SetUp() override {
        if (!display_test::XSession::Installed())
            GTEST_SKIP() << "Xvfb or xdotool is not installed (scripts/bootstrap installs both)";
        std::string why;
        ASSERT_TRUE(x_.Start(&why)) << why;
        setenv("LAUNCHER_BACKEND", "display", 1);
        RegisterWxDisplayBackend();
        ASSERT_EQ(InitBackend(), BackendKind::Display);
        // The PNG handler the images need comes with the backend.
        skin_ = std::make_unique<duilib_test::SkinDirectory>(
            std::initializer_list<std::pair<std::string, std::string>>{
                {"test.xml", kSkin},
                {"web.xml", kWebSkin},
                {"images.xml", kImageSkin},
                {"two_tone.png", TwoTonePng()},
                {"huge.png", HugePng()}});
    }

    // A skinned window at (x, y), shown and mapped.
    HWND Open(TestWindow& window, const std::wstring& title, HWND owner, int x, int y) {
        const HWND hwnd = window.Create(owner, title.c_str(), WS_POPUP | WS_VISIBLE, 0, x, y);
        MappedGeometry(std::string(title.begin(), title.end()));
        display_test::PumpFor(100); // the first paint
        return hwnd;
    }

    display_test::XSession x_;
    std::unique_ptr<duilib_test::SkinDirectory> skin_;
};

TEST_F(DisplayBackendTest, WindowIsMappedAtItsPositionWithTheSkinsSize) {
    TestWindow window("main", L"test.xml");
    ASSERT_NE(Open(window, L"placed", nullptr, 130, 70), nullptr);
    EXPECT_EQ(MappedGeometry("placed"), (Rect{130, 70, 240, 160}));

    // Moved by the program, the X window follows.
    SetWindowPos(window.GetHWND(), nullptr, 300, 200, 0, 0, SWP_NOSIZE);
    PumpUntil([] { return MappedGeometry("placed") == Rect{300, 200, 240, 160}; }, 5000);
    EXPECT_EQ(MappedGeometry("placed"), (Rect{300, 200, 240, 160}));

    // The toolkit destroys a top-level window when it is next idle.
    DestroyWindow(window.GetHWND());
    EXPECT_TRUE(PumpUntil(
        [] { return Xdotool("search --onlyvisible --name placed").output.empty(); }, 5000));
}

TEST_F(DisplayBackendTest, PointerClickOnAButtonDeliversClickAndHoverFollowsThePointer) {
    TestWindow window("main", L"test.xml");
    ASSERT_NE(Open(window, L"clicks", nullptr, 100, 100), nullptr);
    Xdotool("mousemove --sync 170 220"); // over "ok" (20..120, 100..140)
    PumpUntil([&] { return window.manager.GetHotControl() != nullptr; }, 2000);
    ASSERT_NE(window.manager.GetHotControl(), nullptr);
    EXPECT_EQ(window.manager.GetHotControl()->GetName().str(), L"ok");

    ClickAt(170, 220);
    PumpUntil([&] { return !window.SendersOf(L"click").empty(); }, 2000);
    EXPECT_EQ(window.SendersOf(L"click"), std::vector<std::wstring>{L"ok"});

    // A press on the swatch and a release on the button is no click.
    Xdotool("mousemove --sync 280 175 mousedown 1 sleep 0.1 mousemove 170 220 sleep 0.1 mouseup 1");
    display_test::PumpFor(200);
    EXPECT_EQ(window.SendersOf(L"click").size(), 1u);
}

// The caption band drags the window; its WM_MOVE moves an owned window along, as the
// launcher's main window moves its panels.
TEST_F(DisplayBackendTest, DragOnTheCaptionBandMovesTheWindowAndWmMoveMovesItsChild) {
    TestWindow main("main", L"test.xml");
    TestWindow child("child", L"test.xml");
    main.onMessage = [&](UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
        if (message == WM_NCHITTEST) {
            POINT pt{SignedLowWord(lParam), SignedHighWord(lParam)};
            ScreenToClient(main.GetHWND(), &pt);
            result = pt.y < kCaptionBottom ? HTCAPTION : HTCLIENT;
            return true;
        }
        if (message == WM_MOVE && IsWindow(child.GetHWND()))
            SetWindowPos(child.GetHWND(), nullptr, SignedLowWord(lParam) + 250,
                         SignedHighWord(lParam), 0, 0, SWP_NOSIZE);
        return false;
    };
    ASSERT_NE(Open(main, L"dragged", nullptr, 100, 100), nullptr);
    ASSERT_NE(Open(child, L"follower", main.GetHWND(), 350, 100), nullptr);

    // At a hand's pace: a press, two moves, a release.
    Xdotool("mousemove --sync 150 115 mousedown 1 sleep 0.1 mousemove 180 140 sleep 0.1 "
            "mousemove 210 165 sleep 0.1 mouseup 1");
    PumpUntil([] { return MappedGeometry("follower").x == 410; }, 2000);

    RECT rect;
    GetWindowRect(main.GetHWND(), &rect);
    EXPECT_EQ(rect.left, 160);
    EXPECT_EQ(rect.top, 150);
    EXPECT_EQ(MappedGeometry("dragged"), (Rect{160, 150, 240, 160}));
    EXPECT_EQ(MappedGeometry("follower"), (Rect{410, 150, 240, 160}));
    EXPECT_TRUE(main.SendersOf(L"click").empty());
}

// What is on the screen is what the skin says: read back from the X server's root window.
TEST_F(DisplayBackendTest, ScreenshotShowsTheSkinsColoursAndImagesWhereTheWindowsAre) {
    TestWindow window("main", L"test.xml");
    ASSERT_NE(Open(window, L"painted", nullptr, 200, 150), nullptr);
    SetWindowRoundRegion(window.GetHWND(), RECT{0, 0, 241, 161}, SIZE{20, 20});
    TestWindow images("images", L"images.xml");
    ASSERT_NE(Open(images, L"images", nullptr, 500, 150), nullptr);
    const wxImage image = Screenshot();
    ASSERT_TRUE(image.IsOk());
    auto near = [&](int x, int y, uint32_t argb) { return Near(RgbAt(image, x, y), argb, 6); };
    EXPECT_TRUE(near(200 + 10, 150 + 10, kBackground));
    EXPECT_TRUE(near(200 + 230, 150 + 150, kBackground));
    EXPECT_TRUE(near(200 + 180, 150 + 75, kSwatch));
    EXPECT_TRUE(near(200 + 141, 150 + 61, kSwatch));
    EXPECT_TRUE(near(200 + 22, 150 + 102, kButton)); // a corner the text leaves alone
    // Outside the window, and in its cut-off corner, the root stays black.
    EXPECT_TRUE(near(200, 150, 0xFF000000));
    EXPECT_TRUE(near(200 - 5, 150 - 5, 0xFF000000));
    EXPECT_TRUE(near(200 + 245, 150 + 80, 0xFF000000));

    // 2 x 1 pixels stretched over 80 x 80: the outer columns keep their colours, top to bottom.
    auto rgb = [&](int x, int y) { return RgbAt(image, 500 + x, 150 + y); };
    EXPECT_TRUE(Near(rgb(21, 22), 0xFF0000, 8));
    EXPECT_TRUE(Near(rgb(21, 97), 0xFF0000, 8));
    EXPECT_TRUE(Near(rgb(98, 60), 0x00FF00, 8));
    // The image whose header claims 100000 x 100000 is refused: the background shows.
    EXPECT_EQ(rgb(170, 60), 0x2040C0);
}

// The "IE" control's page is loaded by a real web engine and shown in the panel's place; a page
// that cannot be loaded gives way to the error page the browser was given.
TEST_F(DisplayBackendTest, BrowserControlShowsItsPageOrTheErrorPageInAWebView) {
    const auto page = skin_->dir.path() / "panel.html";
    std::ofstream(page) << "<html><head><title>panel page</title></head>"
                           "<body style='margin:0;background:#10C040'></body></html>";
    const auto errorPage = skin_->dir.path() / "404.html";
    std::ofstream(errorPage)
        << "<html><head><title>operator 404</title></head><body></body></html>";
    TestWindow panel("panel", L"web.xml");
    ASSERT_NE(Open(panel, L"panel", nullptr, 300, 200), nullptr);
    auto* control = static_cast<CActiveXUI*>(panel.manager.FindControl(L"IE"));
    ASSERT_NE(control, nullptr);
    IWebBrowser* browser = control->GetControl();
    ASSERT_NE(browser, nullptr);
    wxWebView* view = nullptr;
    for (wxWindow* top : wxTopLevelWindows)
        view = view != nullptr ? view : FindWebView(top);
    ASSERT_NE(view, nullptr);
    const wxString url = "file://" + page.string();
    bool loaded = false;
    view->Bind(wxEVT_WEBVIEW_LOADED,
               [&](wxWebViewEvent& event) { loaded = loaded || event.GetURL() == url; });

    browser->put_Silent(true);
    EXPECT_TRUE(browser->Navigate(url.wc_str()));
    // The title may follow the load event by a turn of the engine's own loop.
    ASSERT_TRUE(PumpUntil([&] { return loaded; }, 15000));
    EXPECT_TRUE(PumpUntil([&] { return view->GetCurrentTitle() == "panel page"; }, 5000));
    display_test::PumpFor(300); // the page's first frame
    const wxImage image = Screenshot();
    ASSERT_TRUE(image.IsOk());
    EXPECT_EQ(RgbAt(image, 300 + 120, 200 + 80), 0x10C040u);

    const wxString errorUrl = "file://" + errorPage.string();
    browser->SetErrorPage(errorUrl.wc_str());
    // A loopback port nothing listens on now (browsers refuse the well-known unused ones).
    int port = 0;
    {
        const testing_support::TestServer gone(skin_->dir.path());
        port = gone.port();
    }
    const std::wstring unloadable = L"http://127.0.0.1:" + std::to_wstring(port) + L"/news.html";
    EXPECT_TRUE(browser->Navigate(unloadable.c_str()));
    EXPECT_TRUE(PumpUntil([&] { return view->GetCurrentTitle() == "operator 404"; }, 15000));
}

// While a modal window runs its loop the owner takes no clicks; the modal one does and ends
// the loop with the value it was closed with.
TEST_F(DisplayBackendTest, ModalWindowDisablesItsOwnerUntilItCloses) {
    TestWindow owner("owner", L"test.xml");
    TestWindow* modal = new TestWindow("modal", L"test.xml");
    modal->deleteOnFinalMessage = true;
    ASSERT_NE(Open(owner, L"owner", nullptr, 50, 50), nullptr);
    ASSERT_NE(Open(*modal, L"modal", owner.GetHWND(), 500, 300), nullptr);
    modal->onNotify = [modal](TNotifyUI& msg) {
        if (msg.sType == L"click")
            modal->Close(IDYES);
    };
    bool ownerEnabledDuring = true;
    std::atomic<bool> workerDone{false};
    // Clicks on the owner's button, then on the modal's button, from outside the process.
    PostToUiThread([&] {
        ownerEnabledDuring = IsWindowEnabled(owner.GetHWND());
        ClickAt(50 + 70, 50 + 120);
        std::thread([&] { PostToUiThread([&] { workerDone = true; }); }).join();
        ClickAt(500 + 70, 300 + 120);
    });
    EXPECT_EQ(modal->ShowModal(), static_cast<UINT>(IDYES));
    EXPECT_FALSE(ownerEnabledDuring);
    EXPECT_TRUE(workerDone.load());
    EXPECT_TRUE(owner.SendersOf(L"click").empty());
    EXPECT_TRUE(IsWindowEnabled(owner.GetHWND()));

    // Enabled again, the owner takes clicks.
    ClickAt(50 + 70, 50 + 120);
    PumpUntil([&] { return !owner.SendersOf(L"click").empty(); }, 2000);
    EXPECT_EQ(owner.SendersOf(L"click"), std::vector<std::wstring>{L"ok"});
}

// A message box is a real dialog; work posted by a worker keeps running while it is open.
TEST_F(DisplayBackendTest, MessageBoxIsARealDialogAndPostedWorkRunsWhileItIsOpen) {
    TestWindow owner("owner", L"test.xml");
    ASSERT_NE(Open(owner, L"boxowner", nullptr, 50, 50), nullptr);
    std::atomic<bool> workRan{false};
    std::vector<std::string> order;
    std::thread worker([&] {
        Xdotool("search --sync --onlyvisible --name notice");
        PostAndWait([&] {
            order.push_back("posted work");
            workRan = true;
        });
        const auto box = Xdotool("search --onlyvisible --name notice").output;
        order.push_back(box.empty() ? "no box" : "box open");
        Xdotool("windowfocus --sync " + box.substr(0, box.find('\n')) + " key Return");
    });
    const int answer = MessageBox(owner.GetHWND(), L"网络连接失败", L"notice", MB_OK);
    order.push_back("answered");
    worker.join();
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(order, (std::vector<std::string>{"posted work", "box open", "answered"}));
}

// A service stop or Ctrl+C closes the main window as its close box would, and the loop ends.
TEST_F(DisplayBackendTest, SigtermClosesTheMainWindowAndEndsTheLoop) {
    TestWindow window("main", L"test.xml");
    window.onMessage = [](UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message == WM_DESTROY)
            PostQuitMessage(7);
        return false;
    };
    ASSERT_NE(Open(window, L"stopped", nullptr, 100, 100), nullptr);
    PostToUiThread([] { kill(getpid(), SIGTERM); });
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 7);
    EXPECT_FALSE(IsWindow(window.GetHWND()));
    EXPECT_EQ(Xdotool("search --onlyvisible --name stopped").output, "");
}

// A service stop or Ctrl+C while a message box runs its own loop: the box ends as if closed
// unanswered, the main window closes and the loop ends; a box asked for during that close is not
// shown. The box is asked for on the UI thread (as a click's handler does; SIGTERM) or by a
// worker (SIGINT).
class DisplayBackendSignalTest : public DisplayBackendTest,
                                 public testing::WithParamInterface<bool> {};

TEST_P(DisplayBackendSignalTest, TerminationSignalWhileAMessageBoxIsOpenEndsTheBoxAndTheLoop) {
    const bool fromWorker = GetParam();
    const int signalNumber = fromWorker ? SIGINT : SIGTERM;
    TestWindow window("main", L"test.xml");
    std::optional<int> lateAnswer;
    window.onMessage = [&](UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message == WM_DESTROY) {
            lateAnswer = MessageBox(window.GetHWND(), L"closing", L"lateBox", MB_OKCANCEL);
            PostQuitMessage(7);
        }
        return false;
    };
    ASSERT_NE(Open(window, L"boxed", nullptr, 100, 100), nullptr);

    std::atomic<int> answer{0};
    const auto ask = [&] {
        answer = MessageBox(window.GetHWND(), L"网络连接失败", L"asked", MB_YESNO);
    };
    std::thread worker;
    if (fromWorker)
        worker = std::thread(ask);
    else
        PostToUiThread(ask);

    std::atomic<bool> ended{false};
    std::atomic<bool> answeredByHand{false};
    std::thread stopper([&] {
        Xdotool("search --sync --onlyvisible --name asked");
        kill(getpid(), signalNumber);
        // A box the signal left open is answered here, so that the test fails instead of hanging.
        for (int round = 0; round < 3 && !testing_support::WaitFor([&] { return ended.load(); });
             ++round) {
            answeredByHand = true;
            std::istringstream ids(Xdotool("search --onlyvisible --name asked|lateBox").output);
            for (std::string id; ids >> id;)
                Xdotool("windowfocus --sync " + id + " key Escape");
        }
    });
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 7);
    ended = true;
    stopper.join();
    if (worker.joinable())
        worker.join();
    EXPECT_FALSE(answeredByHand);
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(lateAnswer, std::optional(IDCANCEL));
    EXPECT_FALSE(IsWindow(window.GetHWND()));
    // The toolkit unmaps the destroyed windows when it is next idle.
    EXPECT_TRUE(PumpUntil(
        [] { return Xdotool("search --onlyvisible --name asked|lateBox|boxed").output.empty(); },
        10000));
}

INSTANTIATE_TEST_SUITE_P(UiThreadOrWorker, DisplayBackendSignalTest, testing::Bool());

// Without an X server to talk to, the launcher still runs: headless, with a note.
TEST(DisplayBackendChoiceTest, UnreachableDisplayFallsBackToHeadless) {
    std::string errors;
    const int status = duilib_test::RunInChild(
        [](int) {
            setenv("DISPLAY", ":987", 1);
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("LAUNCHER_BACKEND");
            RegisterWxDisplayBackend();
            return InitBackend() == BackendKind::Headless ? 0 : 1;
        },
        0, &errors);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(errors.find("headless"), std::string::npos);
}

// At process end the toolkit is taken down by its own clean-up: the application object and the
// image handlers the backend added are gone, and the pump no longer waits on a loop.
TEST(DisplayBackendStopTest, StopTearsTheToolkitDown) {
    if (!display_test::XSession::Installed())
        GTEST_SKIP() << "Xvfb or xdotool is not installed (scripts/bootstrap installs both)";
    display_test::XSession x;
    std::string why;
    ASSERT_TRUE(x.Start(&why)) << why;
    std::string errors;
    const int status = duilib_test::RunInChild(
        [](int) {
            setenv("LAUNCHER_BACKEND", "display", 1);
            RegisterWxDisplayBackend();
            if (InitBackend() != BackendKind::Display)
                return 2;
            {
                TestWindow window("main");
                if (window.CreateAt(nullptr, 10, 10, 120, 80) == nullptr)
                    return 3;
                display_test::PumpFor(100);
                DestroyWindow(window.GetHWND());
            }
            if (wxTheApp == nullptr || wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr)
                return 4;
            StopBackend();
            if (wxTheApp != nullptr)
                return 5;
            if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) != nullptr)
                return 6;
            return 0;
        },
        0, &errors);
    ASSERT_TRUE(WIFEXITED(status)) << errors;
    EXPECT_EQ(WEXITSTATUS(status), 0) << errors;
}

} // namespace
