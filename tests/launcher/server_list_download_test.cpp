// Fetching the server list from the local test server: which attempts are made, what replaces
// "ServerList.xml", and what is left on disk when the answer is not a list.
#include <arpa/inet.h>
#include <atomic>
#include <future>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

// A socket listening on 127.0.0.1; when `answer` is given, every connection is answered with it
// (after the request has arrived) and counted, else the listener never accepts and its queue is
// filled, so a further connect waits for its limit.
class LoopbackListener {
public:
    explicit LoopbackListener(std::string answer = "") : answer_(std::move(answer)) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            listen(fd_, answer_.empty() ? 0 : 16) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            throw std::runtime_error("no loopback listener");
        port_ = ntohs(address.sin_port);
        if (answer_.empty()) {
            FillQueue(address);
            return;
        }
        thread_ = std::thread([this] { Serve(); });
    }
    ~LoopbackListener() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        for (int client : queued_)
            close(client);
        close(fd_);
    }
    wxString Url() const {
        return wxString::Format(L"http://127.0.0.1:%d/list.xml", static_cast<int>(port_));
    }
    int Answered() const { return answered_; }

private:
    // Connections nobody accepts, until the kernel completes no more of them.
    void FillQueue(const sockaddr_in& address) {
        for (int i = 0; i < 8; ++i) {
            const int client = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            queued_.push_back(client);
            connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        }
    }
    void Serve() {
        while (!stop_) {
            pollfd waiting{fd_, POLLIN, 0};
            if (poll(&waiting, 1, 20) <= 0)
                continue;
            const int client = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            std::string request;
            char buffer[1024];
            while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
                pollfd readable{client, POLLIN, 0};
                if (poll(&readable, 1, 5000) <= 0)
                    break;
                const ssize_t got = read(client, buffer, sizeof buffer);
                if (got <= 0)
                    break;
                request.append(buffer, static_cast<size_t>(got));
            }
            // Counted before the answer goes out: the client may have it, and the test may ask
            // for the count, before this thread runs again.
            ++answered_;
            [[maybe_unused]] const ssize_t sent = write(client, answer_.data(), answer_.size());
            close(client);
        }
    }

    std::string answer_;
    int fd_ = -1;
    in_port_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> answered_{0};
    std::vector<int> queued_;
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
        // Four bytes are the least a list may have: taken as they are.
        {"/list.xml=body:abcd", false, "abcd", 1, 0},
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

// Only 200 is a list: a 204 or a 304 is a failed attempt, so each cycle tries again.
TEST_F(ServerListDownload, NoContentAndNotModifiedAreFailedAttempts) {
    for (const char* status : {"204 No Content", "304 Not Modified"}) {
        SCOPED_TRACE(status);
        LoopbackListener server(std::string("HTTP/1.1 ") + status +
                                "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        EXPECT_FALSE(DownLoadServerListFile(Dir(), server.Url(), L"", nullptr));
        EXPECT_EQ(server.Answered(), 3);
        EXPECT_EQ(Cache(), CachedList);
        EXPECT_FALSE(TempLeft());
    }
}

// A server that never completes the connection costs each attempt its one-second connect limit:
// the pass ends on its own (bounded here only so that a lost limit fails instead of hanging).
TEST_F(ServerListDownload, AnUnansweredConnectGivesUpAndThePassEnds) {
    LoopbackListener server;
    std::atomic<bool> abort{false};
    auto pass = std::async(std::launch::async, [&] {
        return DownLoadServerListFile(Dir(), server.Url(), L"", &abort);
    });
    const bool ended = pass.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    abort = true;
    EXPECT_TRUE(ended);
    EXPECT_FALSE(pass.get());
    EXPECT_EQ(Cache(), CachedList);
    EXPECT_FALSE(TempLeft());
}
