// The server-list worker's one pass in a prepared main window: what it logs with and without a
// cached list, what reaches standard error while run.log is not open, and the state it leaves.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "launcher/ui/server_list_wnd.h"
#include "launcher/ui/update_wnd.h"
#include "tests/e2e/two_area_list.h"
#include "tests/launcher/prepared_frame.h"
#include "tests/support/test_server.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

class ServerListWorker : public PreparedFrame {
protected:
    // Prepares the frame with the list served at path (rules as the test server takes them).
    void StartWithList(const std::vector<std::string>& rules) {
        WriteFile(site / "list.xml", kTwoAreaList);
        server = std::make_unique<TestServer>(site.path(), rules);
        WriteFile(dir / "zel.ini", "[Setup]\nServerListUrl=" + server->Url("/list.xml") + "\n");
        Start();
    }
    // The texts of run.log's records, without time stamp, level and source.
    std::vector<std::string> Records() const {
        std::vector<std::string> texts;
        std::istringstream lines(ReadFile(dir / "run.log"));
        for (std::string line; std::getline(lines, line);) {
            const size_t source = line.find(": Error: ");
            if (source == std::string::npos)
                continue;
            const size_t text = line.find("): ", source);
            texts.push_back(text == std::string::npos ? line.substr(source + 9)
                                                      : line.substr(text + 3));
        }
        return texts;
    }
    bool PassLeftTemporaryFiles() const {
        return fs::exists(dir / "ServerListTemp.xml") ||
               fs::exists(dir / "ServerListTemp.xml.part");
    }

    TempDir site;
    std::unique_ptr<TestServer> server;
};

} // namespace

TEST_F(ServerListWorker, AFailedPassKeepsACachedListAndSaysSoOnce) {
    WriteFile(dir / "ServerList.xml", kTwoAreaList);
    StartWithList({"/list.xml=404"});
    EXPECT_EQ(server->CountRequests("/list.xml"), 3);
    EXPECT_EQ(frame->UpdateWnd.load()->Areas.size(), 2u);
    EXPECT_FALSE(PassLeftTemporaryFiles());
    const std::string temp = (dir / "ServerListTemp.xml").string();
    EXPECT_EQ(Records(),
              (std::vector<std::string>{"pathList.xml " + temp + " error in update server",
                                        "DownLoadServerListFile faiure!"}));
}

// Nothing cached: the worker's first step disabled the enter-game button and nothing enabled it.
TEST_F(ServerListWorker, AFailedPassWithoutACachedListLeavesNoServerToEnter) {
    StartWithList({"/list.xml=404"});
    EXPECT_TRUE(frame->UpdateWnd.load()->Areas.empty());
    EXPECT_FALSE(frame->EnterGameBtn->IsEnabled());
    EXPECT_FALSE(PassLeftTemporaryFiles());
    const std::string list = (dir / "ServerList.xml").string();
    const std::string temp = (dir / "ServerListTemp.xml").string();
    EXPECT_EQ(Records(),
              (std::vector<std::string>{"pathList.xml " + list + " error in update server",
                                        "pathList.xml " + temp + " error in update server",
                                        "DownLoadServerListFile faiure!",
                                        "Connect to the server list of errors!"}));
}

// A cached file under 4 bytes is not even tried: a try would have left its decoded copy.
TEST_F(ServerListWorker, ACachedListUnderFourBytesIsNotLoadedAtStart) {
    WriteFile(dir / "ServerList.xml", "<a>");
    StartWithList({"/list.xml=404"});
    EXPECT_FALSE(fs::exists(dir / "ServerList.xml.tmp"));
    EXPECT_EQ(ReadFile(dir / "ServerList.xml"), "<a>");
    EXPECT_TRUE(frame->UpdateWnd.load()->Areas.empty());
}

TEST_F(ServerListWorker, AFreshListIsShownAndTheTemporaryDownloadIsGone) {
    StartWithList({});
    EXPECT_EQ(ReadFile(dir / "ServerList.xml"), kTwoAreaList);
    EXPECT_EQ(frame->UpdateWnd.load()->Areas.size(), 2u);
    EXPECT_EQ(frame->ServerListWnd->List->GetCount(), 1);
    EXPECT_FALSE(PassLeftTemporaryFiles());
}

// Without run.log the pass's outcome still reaches the facility's default target.
class ServerListWorkerWithoutLog : public ServerListWorker,
                                   public ::testing::WithParamInterface<bool> {};

INSTANTIATE_TEST_SUITE_P(Outcomes, ServerListWorkerWithoutLog, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& served) {
                             return served.param ? "Served" : "NotFound";
                         });

TEST_P(ServerListWorkerWithoutLog, ThePassesOutcomeGoesToStandardError) {
    fs::create_directory(dir / "run.log");
    ::testing::internal::CaptureStderr();
    StartWithList(GetParam() ? std::vector<std::string>{}
                             : std::vector<std::string>{"/list.xml=404"});
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.find("DownLoadServerListFile success!") != std::string::npos, GetParam())
        << said;
    EXPECT_EQ(said.find("DownLoadServerListFile faiure!") != std::string::npos, !GetParam())
        << said;
    // Only the records made in any case: the others need the log.
    EXPECT_EQ(said.find("Connect to the server list of errors!"), std::string::npos) << said;
    EXPECT_EQ(said.find("error in update server"), std::string::npos) << said;
}
