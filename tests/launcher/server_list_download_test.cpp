// Fetching the server list from the local test server: which attempts are made, what replaces
// "ServerList.xml", and what is left on disk when the answer is not a list.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "launcher/server_list_download.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const std::string FreshList = "<tavi><area name=\"A\"/></tavi>";
const std::string CachedList = "<tavi><area name=\"old\"/></tavi>";

class ServerListDownload : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(site / "list.xml", FreshList);
        WriteFile(site / "other.xml", FreshList + "<!-- second -->");
        WriteFile(program / "ServerList.xml", CachedList);
    }
    wxString Dir() const { return wxString(program.wide()); }
    wxString Url(const TestServer& server, const std::string& path) const {
        return wxString::FromUTF8(server.Url(path));
    }
    std::string Cache() const { return ReadFile(program / "ServerList.xml"); }
    bool TempLeft() const {
        return fs::exists(program / "ServerListTemp.xml") ||
               fs::exists(program / "ServerListTemp.xml.part");
    }

    TempDir site;
    TempDir program;
};

} // namespace

TEST_F(ServerListDownload, FirstAddressAnsweringReplacesTheCacheInOneAttempt) {
    TestServer server(site.path());
    EXPECT_TRUE(DownLoadServerListFile(Dir(), Url(server, "/list.xml"), Url(server, "/other.xml"),
                                       nullptr));
    EXPECT_EQ(Cache(), FreshList);
    EXPECT_FALSE(TempLeft());
    EXPECT_EQ(server.CountRequests("/list.xml"), 1);
    EXPECT_EQ(server.CountRequests("/other.xml"), 0);
}

TEST_F(ServerListDownload, SecondAddressIsTriedAfterTheFirstFails) {
    TestServer server(site.path(), {"/list.xml=404"});
    EXPECT_TRUE(DownLoadServerListFile(Dir(), Url(server, "/list.xml"), Url(server, "/other.xml"),
                                       nullptr));
    EXPECT_EQ(Cache(), FreshList + "<!-- second -->");
    EXPECT_EQ(server.CountRequests("/list.xml"), 1);
    EXPECT_EQ(server.CountRequests("/other.xml"), 1);
}

TEST_F(ServerListDownload, FailingAnswersLeaveTheCacheAndNoTemporaryFile) {
    struct Case {
        const char* rule;
        int attempts; // of the first address, with no second one
    };
    // A redirect is not followed; a body under 4 bytes is no list; neither is one over 16 MiB.
    for (const Case& c : {Case{"/list.xml=404", 3}, Case{"/list.xml=302:/other.xml", 3},
                          Case{"/list.xml=body:abc", 1}, Case{"/list.xml=chunked:17000000", 3}}) {
        SCOPED_TRACE(c.rule);
        TestServer server(site.path(), {c.rule});
        EXPECT_FALSE(DownLoadServerListFile(Dir(), Url(server, "/list.xml"), L"", nullptr));
        EXPECT_EQ(Cache(), CachedList);
        EXPECT_FALSE(TempLeft());
        EXPECT_EQ(server.CountRequests("/list.xml"), c.attempts);
        EXPECT_EQ(server.CountRequests("/other.xml"), 0);
    }
}

TEST_F(ServerListDownload, ShutDownEndsADownloadFromAStalledServer) {
    TestServer server(site.path(), {"/list.xml=stall"});
    std::atomic<bool> abort{false};
    std::thread stopper([&] {
        while (server.CountRequests("/list.xml") == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        abort = true;
    });
    EXPECT_FALSE(
        DownLoadServerListFile(Dir(), Url(server, "/list.xml"), Url(server, "/list.xml"), &abort));
    stopper.join();
    EXPECT_EQ(server.CountRequests("/list.xml"), 1);
    EXPECT_EQ(Cache(), CachedList);
    EXPECT_FALSE(TempLeft());
}
