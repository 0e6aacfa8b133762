// The whole update flow in this process: version check, patch, install and the refusals, with
// the real module, a published release and a local HTTP server.
#include <csignal>
#include <filesystem>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "duilib/headless.h"
#include "launcher/globals.h"
#include "launcher/ui/update_wnd.h"
#include "launcher/update/live_patch_module.h"
#include "launcher/update/update_controls.h"
#include "system/ticks.h"
#include "tests/launcher/update/update_flow.h"
#include "tests/scripts/command.h"
#include "tests/support/program_copy.h"
#include "tests/support/wait_for.h"
#include "tests/support/zip_maker.h"

namespace fs = std::filesystem;

namespace testing_support {
namespace {

TEST_F(UpdateFlow, WholePatchTurnsTheInstalledGameIntoTheNewVersion) {
    PublishStep();
    StartWithManifest();

    EXPECT_TRUE(RunUntilUpdateWorkerEnds());

    ExpectGameIs(Game11(), work / "new");
    EXPECT_FALSE(fs::exists(game / "temp"));
    EXPECT_FALSE(frame->UpdateNeeded);
    EXPECT_TRUE(EnterGameEnabled());
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100.0f);
    EXPECT_TRUE(DuiLib::Headless::MessageBoxes().empty());
    // Both packages of the step came from the server once.
    EXPECT_EQ(server->CountRequests("/1.0-1.1-1.upd"), 1);
    EXPECT_EQ(server->CountRequests("/1.0-1.1-2.tre"), 1);
}

TEST_F(UpdateFlow, TickCounterThatWrapsDuringTheChecksEndsNoWindowEarly) {
    PublishStep();
    // The window is prepared 3 s before the counter wraps; once the server is asked, 4 s pass.
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    skew = 0xFFFFFFFFu - 3000u - static_cast<uint32_t>(ms);
    StartWithManifest();
    bool jumped = false;
    EXPECT_TRUE(RunUntilUpdateWorkerEnds([&] {
        if (!jumped && server->CountRequests("/manifest.xml") > 0) {
            skew += 4000;
            jumped = true;
        }
    }));
    EXPECT_GT(frame->PrepareTick.load(), 0xFFFFF000u);
    EXPECT_LT(platform::GetTickCount(), 0x10000u);
    ExpectGameIs(Game11(), work / "new");
    EXPECT_TRUE(DuiLib::Headless::MessageBoxes().empty());
}

TEST_F(UpdateFlow, ChoiceMissingAtTheEndLeavesTheButtonDisabled) {
    PublishStep();
    chooseServer = false;
    StartWithManifest();
    EXPECT_TRUE(RunUntilUpdateWorkerEnds());
    ExpectGameIs(Game11(), work / "new");
    EXPECT_FALSE(EnterGameEnabled());
}

// A refused update: the game stays as installed and the player may enter it; what was
// downloaded stays in "temp" for the next start to clear.
class RefusedUpdate : public UpdateFlow {
protected:
    void ExpectRefused() {
        ExpectGameIs(Game10(), work / "old", false);
        EXPECT_FALSE(frame->UpdateNeeded);
        EXPECT_TRUE(EnterGameEnabled());
    }
};

// A package unlike its digest fails the patch; the module's own tests hold the other ways a
// transfer fails, and a manifest that does not verify counts as no answer.
TEST_F(RefusedUpdate, PackageUnlikeItsDigest) {
    PublishStep();
    std::string bytes = ReadFile(work / "srv/1.0-1.1-1.upd");
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x55);
    WriteFile(work / "srv/1.0-1.1-1.upd", bytes);
    StartWithManifest();

    EXPECT_TRUE(RunUntilUpdateWorkerEnds([&] {
        if (skew == 0 && server->CountRequests("/1.0-1.1-1.upd") >= 2)
            PassTimeLimits();
    }));

    ExpectRefused();
    EXPECT_TRUE(DuiLib::Headless::MessageBoxes().empty());
    EXPECT_NE(Log().find("The network is busy,please update again later!"), std::string::npos);
}

TEST_F(RefusedUpdate, PackageWithAnEscapingEntryName) {
    PublishStep();
    // The operator's package replaced by one that reaches out of the game directory, listed and
    // signed as if it were genuine.
    const std::string old = ReadFile(work / "srv/1.0-1.1-1.upd");
    MakeZip(work / "srv/1.0-1.1-1.upd",
            {{.name = "changed.txt", .data = "evil"}, {.name = "../escaped.txt", .data = "evil"}});
    const auto digest = [](const fs::path& file) {
        return RunCommand({"sha256sum", file}).output.substr(0, 64);
    };
    WriteFile(work / "old.upd", old);
    std::string manifest = ReadFile(work / "srv/manifest.xml");
    const auto replace = [&manifest](const std::string& from, const std::string& to) {
        const size_t at = manifest.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        manifest.replace(at, from.size(), to);
    };
    replace(digest(work / "old.upd"), digest(work / "srv/1.0-1.1-1.upd"));
    replace("size=\"" + std::to_string(old.size()) + "\"",
            "size=\"" + std::to_string(fs::file_size(work / "srv/1.0-1.1-1.upd")) + "\"");
    WriteFile(work / "srv/manifest.xml", manifest);
    const CommandResult sign =
        RunCommand({"openssl", "pkeyutl", "-sign", "-rawin", "-inkey", work / "key/update.key",
                    "-in", work / "srv/manifest.xml", "-out", work / "srv/manifest.xml.sig"});
    ASSERT_EQ(sign.exitCode, 0) << sign.output;
    StartWithManifest();

    EXPECT_TRUE(RunUntilUpdateWorkerEnds());

    ExpectRefused();
    EXPECT_FALSE(fs::exists(game.path().parent_path() / "escaped.txt"));
    EXPECT_NE(Log().find("unzip files failure!"), std::string::npos);
    // The module stopped: the step's second package, fetched with the whole step before any
    // package was reported, was fetched only that once.
    EXPECT_EQ(server->CountRequests("/1.0-1.1-2.tre"), 1);
    EXPECT_TRUE(DuiLib::Headless::MessageBoxes().empty());
}

TEST_F(UpdateFlow, NoAddressAnswersShowsTheNetworkHelpThenFreesTheButton) {
    Install(Game10());
    StartServer({"/manifest.xml=404"});
    StartLauncher(server->Url("/manifest.xml"), "", "http://127.0.0.1:1/manifest.xml");
    EXPECT_TRUE(RunUntilUpdateWorkerEnds([this] {
        if (skew == 0 && server->CountRequests("/manifest.xml") >= 2)
            PassTimeLimits();
    }));
    const auto boxes = DuiLib::Headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, NetworkHelpMessage);
    EXPECT_EQ(boxes[0].caption, L"连接更新服务器失败");
    EXPECT_EQ(boxes[0].type, 0x10u);
    EXPECT_EQ(boxes[0].owner, frame->GetHWND());
    EXPECT_NE(Log().find("can not connect update server! may be update server not open!"),
              std::string::npos);
    EXPECT_NE(Log().find("The network is busy,please update again later!"), std::string::npos);
    EXPECT_FALSE(frame->UpdateNeeded);
    EXPECT_TRUE(EnterGameEnabled());
    ExpectGameIs(Game10(), work / "old");
}

TEST_F(UpdateFlow, OnlyTheSecondAddressAnswersAfterTheOthersWereTriedInOrder) {
    PublishStep();
    StartServer({"/cdn.xml=404", "/first.xml=404"});
    const std::string second = server->Url("/manifest.xml");
    StartLauncher(server->Url("/cdn.xml"), server->Url("/first.xml"), second);
    EXPECT_TRUE(RunUntilUpdateWorkerEnds());
    ExpectGameIs(Game11(), work / "new");
    const auto requests = server->Requests();
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ(requests[0].path, "/cdn.xml");
    EXPECT_EQ(requests[1].path, "/first.xml");
    EXPECT_EQ(requests[2].path, "/manifest.xml");
    EXPECT_EQ(std::wstring(TheLivePatchModule().url), std::wstring(second.begin(), second.end()));
}

// The game is at 1.1 already; the release holds the step 1.0 -> 1.1.
class GameAtTheServersVersion : public UpdateFlow {
protected:
    void PublishAndStart(const std::string& launcherVersion) {
        Install(Game11());
        fs::remove_all(work / "old");
        for (const auto& [path, bytes] : Game10())
            WriteFile(work / "old" / path, bytes);
        Publish(Game11(), "1.1", launcherVersion);
        StartWithManifest();
        EXPECT_TRUE(RunUntilUpdateWorkerEnds());
        EXPECT_EQ(server->CountRequests("/1.0-1.1-1.upd"), 0);
        EXPECT_TRUE(EnterGameEnabled());
    }
};

TEST_F(GameAtTheServersVersion, NoPatchRunsAndTheWholeDisplaySaysSo) {
    PublishAndStart("1");
    EXPECT_EQ(frame->UpdateWnd.load()->ProgressTxt->GetText(), L"100%");
    EXPECT_EQ(frame->UpdateWnd.load()->ProgressCtrl->GetValue(),
              frame->UpdateWnd.load()->ProgressCtrl->GetMaxValue());
    EXPECT_TRUE(progress.empty()); // nothing went through the patch's progress
}

TEST_F(GameAtTheServersVersion, NewLauncherVersionIsRecorded) {
    PublishAndStart("2");
    EXPECT_EQ(ReadFile(game / "version.ini"), "[Version]\nVersion=1.1\nLVersion=2\n");
}

TEST_F(UpdateFlow, FreshInstallDeletesDataThenInstallsTheWholeGame) {
    Install({{"version.ini", "[Version]\nVersion=0.0\nLVersion=1\n"}});
    WriteFile(game / "data/stale.bin", "from an earlier install");
    Publish(Game11(), "1.1", "1");
    // This installation's client; its file is not part of the published game, and the client
    // runs on from the removed file as it would from a replaced one.
    const pid_t client = StartProgramCopy(game.path(), "/bin/sleep", "zel.exe");
    ASSERT_GT(client, 0);
    fs::remove(game / "zel.exe");
    StartWithManifest();
    EXPECT_TRUE(RunUntilUpdateWorkerEnds());
    ExpectGameIs(Game11(), work / "new");
    EXPECT_FALSE(fs::exists(game / "data/stale.bin"));
    // The running client was ended before anything was deleted.
    int status = 0;
    if (!WaitFor([&] { return waitpid(client, &status, WNOHANG) != 0; })) {
        kill(client, SIGKILL);
        waitpid(client, &status, 0);
        ADD_FAILURE() << "the game client was not ended";
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

TEST_F(UpdateFlow, WithoutTheModuleTheGameCountsAsLatest) {
    PublishStep();
    fs::remove(game / "LiveUpdate.dll");
    StartWithManifest();
    EXPECT_TRUE(RunUntilUpdateWorkerEnds());
    EXPECT_TRUE(server->Requests().empty());
    ExpectGameIs(Game10(), work / "old");
    EXPECT_TRUE(EnterGameEnabled());
}

} // namespace
} // namespace testing_support
