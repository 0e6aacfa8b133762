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

TEST_F(ServerListDownload, AttemptsMadeAndWhatReplacesTheCache) {
    const struct {
        const char* rule;
        bool secondAddress;
        std::string cache;
        int firstAttempts, secondAttempts;
    } cases[] = {
        {"/unused.xml=404", true, FreshList, 1, 0},
        {"/list.xml=404", true, FreshList + "<!-- second -->", 1, 1},
        // Failures leave the cache. A redirect is not followed; a body under 4 bytes is no list;
        // neither is one over 16 MiB.
        {"/list.xml=404", false, CachedList, 3, 0},
        {"/list.xml=302:/other.xml", false, CachedList, 3, 0},
        {"/list.xml=body:abc", false, CachedList, 1, 0},
        {"/list.xml=chunked:17000000", false, CachedList, 3, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        WriteFile(program / "ServerList.xml", CachedList);
        TestServer server(site.path(), {c.rule});
        EXPECT_EQ(DownLoadServerListFile(Dir(), Url(server, "/list.xml"),
                                         c.secondAddress ? Url(server, "/other.xml") : L"",
                                         nullptr),
                  c.cache != CachedList);
        EXPECT_EQ(Cache(), c.cache);
        EXPECT_FALSE(TempLeft());
        EXPECT_EQ(server.CountRequests("/list.xml"), c.firstAttempts);
        EXPECT_EQ(server.CountRequests("/other.xml"), c.secondAttempts);
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
