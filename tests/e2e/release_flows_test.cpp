// Updates published with the operator's tools, served by the local test server the way real
// servers answer, and taken by the real launcher executable running headless.
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/launcher_process.h"
#include "tests/e2e/published_update.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_for.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

constexpr char kOldVersionIni[] = "[Version]\nVersion=1.0\nLVersion=1\n";
constexpr char kNewVersionIni[] = "[Version]\nVersion=1.1\nLVersion=1\n";

// A game at 1.0 with its copy as the operator keeps it, the new game at 1.1 beside it.
class ReleaseFlow : public ::testing::Test {
protected:
    void SetUp() override {
        WriteOnBothSides("version.ini", kOldVersionIni, kNewVersionIni);
        InstallLauncher(game.path());
    }

    void WriteOnBothSides(const std::string& path, const std::string& before,
                          const std::string& after) {
        WriteFile(game / path, before);
        WriteFile(work / "old" / path, before);
        WriteFile(work / "new" / path, after);
    }

    void Publish() { ASSERT_NO_FATAL_FAILURE(PublishUpdate(work.path(), "1.1", "1")); }

    void Serve(const std::vector<std::string>& rules = {}, const std::string& manifest = "") {
        server = std::make_unique<TestServer>(work / "srv", rules);
        TakeUpdatesFrom(game.path(), work.path(), *server);
        if (!manifest.empty())
            WriteFile(game / "Do.ini", "[Addr]\nUpdateVersionUrl1=" + server->Url(manifest) + "\n");
    }

    bool Updated() const { return ReadFile(game / "version.ini") == kNewVersionIni; }
    bool LogHas(const std::string& text) const {
        return ReadFile(game / "run.log").find(text) != std::string::npos;
    }

    // Runs the launcher until done holds (or the bound passes), then ends it as a player would.
    void RunLauncherUntil(const std::function<bool()>& done, int timeoutMs = 60000) {
        LauncherProcess launcher(game.path());
        EXPECT_TRUE(WaitFor(done, timeoutMs)) << ReadFile(game / "run.log");
        launcher.Signal(SIGTERM);
        EXPECT_EQ(launcher.WaitForExit(), 0);
    }

    TempDir game;
    TempDir work;
    std::unique_ptr<TestServer> server;
};

// A sparse file of size bytes with a few marked places, so that a copy that lost or moved a
// region past 2 or 4 GiB shows.
void WriteMarkedSparseFile(const fs::path& file, uint64_t size) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << "head";
    out.seekp(static_cast<std::streamoff>((uint64_t{1} << 31) + 7));
    out << "past two";
    out.seekp(static_cast<std::streamoff>(size - 4));
    out << "tail";
}

std::string BytesAt(const fs::path& file, uint64_t offset, size_t count) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::string bytes(count, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    return bytes.substr(0, static_cast<size_t>(in.gcount()));
}

TEST_F(ReleaseFlow, AFilePastTwoGibibytesIsPublishedAndInstalledWhole) {
    constexpr uint64_t kSize = (uint64_t{1} << 31) + (200u << 20);
    WriteMarkedSparseFile(work / "new/data/big.pak", kSize);
    fs::create_directories(game / "data");
    fs::create_directories(work / "old/data");
    Publish();
    Serve();
    RunLauncherUntil([&] { return Updated(); }, 110000);
    const fs::path installed = game / "data/big.pak";
    ASSERT_EQ(fs::file_size(installed), kSize);
    EXPECT_EQ(BytesAt(installed, 0, 4), "head");
    EXPECT_EQ(BytesAt(installed, (uint64_t{1} << 31) + 7, 8), "past two");
    EXPECT_EQ(BytesAt(installed, kSize - 4, 4), "tail");
    EXPECT_EQ(BytesAt(installed, uint64_t{1} << 31, 7), std::string(7, '\0'));
}

TEST_F(ReleaseFlow, AStepWhosePackageCannotBeFetchedInstallsNothing) {
    WriteOnBothSides("a.txt", "old", "new");
    WriteOnBothSides("data/index.i", "old index", "new index");
    Publish();
    ASSERT_TRUE(fs::exists(work / "srv/1.0-1.1-2.tre"));
    Serve({"/1.0-1.1-2.tre=404"});
    RunLauncherUntil([&] { return server->CountRequests("/1.0-1.1-2.tre") >= 2; });
    EXPECT_EQ(ReadFile(game / "a.txt"), "old");
    EXPECT_EQ(ReadFile(game / "data/index.i"), "old index");
    EXPECT_EQ(ReadFile(game / "version.ini"), kOldVersionIni);
}

TEST_F(ReleaseFlow, APackageThatFailsItsCheckTwiceIsNotFetchedAgain) {
    WriteOnBothSides("a.txt", "old", "new");
    Publish();
    // Same size, other bytes: only the digest tells.
    std::string package = ReadFile(work / "srv/1.0-1.1-1.upd");
    package.back() = static_cast<char>(package.back() ^ 1);
    WriteFile(work / "srv/1.0-1.1-1.upd", package);
    Serve();
    // The version check gives up once its window is over.
    RunLauncherUntil([&] { return LogHas("The network is busy"); });
    EXPECT_EQ(server->CountRequests("/1.0-1.1-1.upd"), 2);
    EXPECT_LE(server->CountRequests("/manifest.xml"), 8);
    EXPECT_EQ(ReadFile(game / "a.txt"), "old");
    EXPECT_FALSE(fs::exists(game / "temp/1.0-1.1-1.upd"));
}

TEST_F(ReleaseFlow, AManifestAddressWithAQueryFindsItsSignature) {
    WriteOnBothSides("a.txt", "old", "new");
    Publish();
    Serve({}, "/manifest.xml?v=2");
    RunLauncherUntil([&] { return Updated(); });
    EXPECT_EQ(ReadFile(game / "a.txt"), "new");
    EXPECT_GE(server->CountRequests("/manifest.xml.sig"), 1);
}

// HTTP lets a server compress what nobody asked it to: every file still arrives as published.
TEST_F(ReleaseFlow, ACompressingServerStillGivesPlainFiles) {
    WriteOnBothSides("a.txt", "old", "new");
    Publish();
    const std::string list = "<tavi><area pid=\"1\" name=\"A\"><server sid=\"1\" name=\"East\" "
                             "address=\"10.0.0.1\" port=\"7001\" chargeIp=\"c1\"/></area></tavi>";
    WriteFile(work / "srv/list.xml", list);
    WriteFile(game / "ServerList.xml", list);
    Serve(
        {"/manifest.xml=gzip", "/manifest.xml.sig=gzip", "/1.0-1.1-1.upd=gzip", "/list.xml=gzip"});
    WriteFile(game / "zel.ini", "[Setup]\nServerListUrl=" + server->Url("/list.xml") + "\n");
    RunLauncherUntil([&] { return Updated() && server->CountRequests("/list.xml") >= 1; });
    EXPECT_EQ(ReadFile(game / "a.txt"), "new");
    EXPECT_TRUE(WaitFor([&] { return ReadFile(game / "ServerList.xml") == list; }))
        << ReadFile(game / "ServerList.xml").substr(0, 16);
}

// The self-updater cannot be handed a program directory holding a double quote: the launcher
// update stays on offer, so the versions stay where they were.
TEST(ReleaseFlowHandOver, ARefusedHandOverKeepsTheVersionsForTheNextStart) {
    TempDir root;
    TempDir work;
    const fs::path game = root / "game \"one\"";
    const std::string launcher = ReadFile(BinDir() / "launcher");
    const std::string updater = ReadFile(BinDir() / "launcherupdate.exe");
    for (const fs::path& dir : {game, work / "old", work / "new"}) {
        const bool fresh = dir == work / "new";
        WriteFile(dir / "version.ini", fresh ? "[Version]\nVersion=1.1\nLVersion=2\n"
                                             : "[Version]\nVersion=1.0\nLVersion=1\n");
        WriteFile(dir / "launcherupdate.exe", fresh ? updater + "new updater" : updater);
    }
    InstallLauncher(game);
    ASSERT_NO_FATAL_FAILURE(PublishUpdate(work.path(), "1.1", "2"));
    TestServer server(work / "srv");
    TakeUpdatesFrom(game, work.path(), server);
    {
        LauncherProcess first(game);
        EXPECT_TRUE(WaitFor([&] {
            return ReadFile(game / "run.log").find("no self-update") != std::string::npos;
        })) << ReadFile(game / "run.log");
        first.Signal(SIGTERM);
        EXPECT_EQ(first.WaitForExit(), 0);
    }
    EXPECT_EQ(ReadFile(game / "version.ini"), "[Version]\nVersion=1.0\nLVersion=1\n");
    EXPECT_EQ(ReadFile(game / "launcherupdate.exe"), updater);
    EXPECT_EQ(ReadFile(game / "launcher"), launcher);
}

} // namespace
