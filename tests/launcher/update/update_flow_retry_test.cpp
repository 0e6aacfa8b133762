// The version check against servers that fail: how often it asks, what "run.log" keeps, and
// the two 15000 ms limits, on a clock the test drives.
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "duilib/headless.h"
#include "launcher/globals.h"
#include "launcher/ui/update_wnd.h"
#include "system/ticks.h"
#include "tests/launcher/update/update_flow.h"

namespace fs = std::filesystem;

namespace testing_support {
namespace {

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The update worker's clock: it stands still for the UI thread and moves by `step` each time
// another thread (the update worker) reads it, so how often the worker asks per window does
// not depend on how loaded the machine is.
class DrivenClock : public UpdateFlow {
protected:
    void SetUp() override {
        UpdateFlow::SetUp();
        const std::thread::id ui = std::this_thread::get_id();
        platform::SetTickSource([this, ui] {
            if (std::this_thread::get_id() == ui)
                return clock.load();
            ++workerReads;
            return clock += step.load();
        });
    }
    // Sets the clock, then pumps until the worker has read it a few times (it then acted on
    // it) or has ended.
    void SetClock(uint32_t value) {
        const int before = workerReads;
        clock = value;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (workerReads < before + 3 && RunningWorkers() != 0 &&
               std::chrono::steady_clock::now() < deadline) {
            DuiLib::Headless::PumpMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    // Pumps until `done` holds or the worker ended.
    void PumpUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done() && RunningWorkers() != 0 && std::chrono::steady_clock::now() < deadline) {
            DuiLib::Headless::PumpMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    std::atomic<uint32_t> clock{1000000};
    std::atomic<uint32_t> step{0};
    std::atomic<int> workerReads{0};
};

TEST_F(DrivenClock, ServerThatAnswers404IsAskedAHandfulOfTimesAndLoggedOnceWithTheCount) {
    Install(Game10());
    StartServer({"/manifest.xml=404"});
    step = 250;
    StartLauncher("", server->Url("/manifest.xml"), "");
    std::vector<uint32_t> askedAt; // ms after the window opened
    EXPECT_TRUE(RunUntilUpdateWorkerEnds([&] {
        const int asked = server->CountRequests("/manifest.xml");
        while (static_cast<int>(askedAt.size()) < asked)
            askedAt.push_back(clock - frame->PrepareTick);
    }));

    ASSERT_GE(askedAt.size(), 4u);
    EXPECT_LE(askedAt.size(), 8u);
    // The waits grow, and the last try comes late in the window (seen here a little after it
    // was made).
    EXPECT_LT(askedAt[1] - askedAt[0], askedAt[3] - askedAt[2]);
    EXPECT_GE(askedAt.back(), 13500u);
    const std::string log = Log();
    EXPECT_EQ(Count(log, "can not connect update server!"), 2u) << log;
    EXPECT_EQ(
        Count(log, "can not connect update server! may be update server not open! (repeated " +
                       std::to_string(askedAt.size() - 1) + " times)\n"),
        1u)
        << log;
    EXPECT_EQ(DuiLib::Headless::MessageBoxes().size(), 1u);
    // The module says why once, and how often it came again.
    const std::string why = "LiveUpdate: manifest.xml not fetched: HTTP status 404 (" +
                            server->Url("/manifest.xml") + ")";
    EXPECT_EQ(Count(log, why + "\n"), 1u) << log;
    EXPECT_EQ(Count(log, why + " (repeated " + std::to_string(askedAt.size() - 1) + " times)\n"),
              1u)
        << log;
    EXPECT_LE(Count(log, "\n"), 10u) << log;
}

TEST_F(DrivenClock, ServerThatIsDownFillsNoLogAndEndsWithTheNetworkHelp) {
    Install(Game10());
    step = 250;
    StartLauncher("http://127.0.0.1:1/manifest.xml", "", "http://127.0.0.1:1/other.xml");
    EXPECT_TRUE(RunUntilUpdateWorkerEnds());
    const std::string log = Log();
    EXPECT_EQ(Count(log, "can not connect update server!"), 2u) << log;
    EXPECT_NE(log.find("The network is busy,please update again later!"), std::string::npos);
    // One record of the module for each address that did not answer, and one with its count.
    EXPECT_EQ(Count(log, "LiveUpdate: manifest.xml not fetched: cannot connect"), 4u) << log;
    EXPECT_LE(Count(log, "\n"), 12u) << log;
    EXPECT_TRUE(EnterGameEnabled());
}

// The manifest answers, the step's first package does not: StartUpdate fails at each try.
TEST_F(DrivenClock, PatchThatCannotStartIsRetriedAHandfulOfTimesAndLeavesNothingBehind) {
    PublishStep();
    step = 250;
    StartWithManifest({"/1.0-1.1-1.upd=404"});
    bool enabledDuringPatch = false;
    EXPECT_TRUE(RunUntilUpdateWorkerEnds([&] {
        if (server->CountRequests("/1.0-1.1-1.upd") > 0 && RunningWorkers() != 0 &&
            !Log().empty() && Log().find("The network is busy") == std::string::npos)
            enabledDuringPatch = enabledDuringPatch || EnterGameEnabled();
    }));

    const int tries = server->CountRequests("/1.0-1.1-1.upd");
    EXPECT_GE(tries, 4);
    EXPECT_LE(tries, 16);
    EXPECT_FALSE(enabledDuringPatch);
    EXPECT_TRUE(EnterGameEnabled());
    EXPECT_NE(Log().find("The network is busy,please update again later!"), std::string::npos);
    ExpectGameIs(Game10(), work / "old");
    EXPECT_FALSE(fs::exists(game / "temp"));
    // A patch was needed: the display never claimed the update done.
    UIUpdateWnd* window = frame->UpdateWnd.load();
    EXPECT_NE(window->ProgressTxt->GetText(), L"100%");
    EXPECT_NE(window->ProgressCtrl->GetValue(), window->ProgressCtrl->GetMaxValue());
}

TEST_F(DrivenClock, FirstWindowEndsOnlyAfter15000MsAndItsLastTryComesBefore) {
    Install(Game10());
    StartServer({"/manifest.xml=404"});
    StartLauncher("", server->Url("/manifest.xml"), "");
    PumpUntil([&] { return server->CountRequests("/manifest.xml") >= 1; });
    ASSERT_EQ(server->CountRequests("/manifest.xml"), 1);
    SetClock(clock); // the worker waits for its next try

    SetClock(frame->PrepareTick + 14999);
    PumpUntil([&] { return server->CountRequests("/manifest.xml") >= 2; });
    EXPECT_EQ(server->CountRequests("/manifest.xml"), 2);
    EXPECT_TRUE(DuiLib::Headless::MessageBoxes().empty());
    EXPECT_FALSE(EnterGameEnabled());
    EXPECT_NE(RunningWorkers(), 0);

    SetClock(frame->PrepareTick + 15001);
    EXPECT_TRUE(RunUntilUpdateWorkerEnds());
    EXPECT_EQ(DuiLib::Headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(server->CountRequests("/manifest.xml"), 2);
    EXPECT_TRUE(EnterGameEnabled());
}

TEST_F(DrivenClock, SecondWindowEndsOnlyAfter15000MsWithTheButtonDisabledMeanwhile) {
    PublishStep();
    StartWithManifest({"/1.0-1.1-1.upd=404"});
    PumpUntil([&] { return server->CountRequests("/1.0-1.1-1.upd") >= 1; });
    ASSERT_GE(server->CountRequests("/1.0-1.1-1.upd"), 1);
    const int first = server->CountRequests("/1.0-1.1-1.upd");
    SetClock(clock); // the worker waits for its next try

    SetClock(ConnectTick + 14999);
    PumpUntil([&] { return server->CountRequests("/1.0-1.1-1.upd") > first; });
    EXPECT_GT(server->CountRequests("/1.0-1.1-1.upd"), first);
    EXPECT_EQ(Log().find("The network is busy"), std::string::npos);
    EXPECT_FALSE(EnterGameEnabled());
    EXPECT_TRUE(frame->UpdateNeeded);
    EXPECT_NE(RunningWorkers(), 0);

    SetClock(ConnectTick + 15001);
    EXPECT_TRUE(RunUntilUpdateWorkerEnds());
    EXPECT_NE(Log().find("The network is busy,please update again later!"), std::string::npos);
    EXPECT_TRUE(DuiLib::Headless::MessageBoxes().empty());
    EXPECT_FALSE(frame->UpdateNeeded);
    EXPECT_TRUE(EnterGameEnabled());
}

} // namespace
} // namespace testing_support
