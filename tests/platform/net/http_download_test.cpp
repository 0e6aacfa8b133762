#include "net/http_download.h"

#include "tests/server/body_pattern.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace net {
// Failure messages name the error instead of showing its bytes.
void PrintTo(DownloadError error, std::ostream* out) {
    *out << DescribeError(error);
}
} // namespace net

namespace {

namespace fs = std::filesystem;
using net::DownloadError;
using net::DownloadOptions;
using net::DownloadResult;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::TestServer;
using testing_support::WriteFile;

constexpr const char* kCached = "<cached list/>";

// Compares contents without printing megabytes when they differ.
testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected)
        return testing::AssertionSuccess();
    size_t first = 0;
    while (first < actual.size() && first < expected.size() && actual[first] == expected[first])
        ++first;
    return testing::AssertionFailure() << actual.size() << " bytes instead of " << expected.size()
                                       << ", first difference at " << first;
}

class HttpDownloadTest : public testing::Test {
protected:
    HttpDownloadTest() : server_(served_.path()) {}

    DownloadResult Download(const std::string& path, const DownloadOptions& options = {}) {
        return net::DownloadToFile(server_.Url(path), destination_, options);
    }
    // The Range header of each request for path ("-" for none), in order.
    std::vector<std::string> RangesAsked(const std::string& path) const {
        std::vector<std::string> ranges;
        for (const TestServer::Request& request : server_.Requests()) {
            if (request.path == path)
                ranges.push_back(request.range);
        }
        return ranges;
    }
    fs::path Part() const { return fs::path(destination_.string() + ".part"); }
    // The routine failed with error, left the cached destination as it was and no ".part".
    void ExpectFailureLeftNothing(const DownloadResult& result, DownloadError error) {
        EXPECT_EQ(result.error, error) << result.detail;
        EXPECT_FALSE(result.detail.empty());
        EXPECT_EQ(ReadFile(destination_), kCached);
        EXPECT_FALSE(fs::exists(fs::symlink_status(Part())));
    }

    TempDir served_;
    TempDir local_;
    fs::path destination_ = local_ / "ServerList.xml";
    TestServer server_;
};

TEST_F(HttpDownloadTest, WholeBodiesReplaceTheDestination) {
    const std::string list = test_server::PatternBytes(0, 300000);
    WriteFile(served_ / "list.xml", list);
    const struct {
        const char* rule;
        std::uint64_t cap;
        std::string body;
    } cases[] = {
        {"/list.xml=file", 16 << 20, list},
        {"/list.xml=body:", 16 << 20, ""},
        // Exactly at the cap, with no length announced.
        {"/list.xml=chunked:100000", 100000, test_server::PatternBytes(0, 100000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        ASSERT_TRUE(server_.SetRules({c.rule}));
        WriteFile(destination_, kCached);
        const int requests = server_.CountRequests("/list.xml");

        DownloadOptions options;
        options.maxBytes = c.cap;
        const DownloadResult result = Download("/list.xml", options);

        ASSERT_TRUE(result.Ok()) << result.detail;
        EXPECT_EQ(result.httpStatus, 200);
        EXPECT_EQ(result.bytes, c.body.size());
        EXPECT_TRUE(fs::is_regular_file(destination_));
        EXPECT_TRUE(SameBytes(ReadFile(destination_), c.body));
        EXPECT_FALSE(fs::exists(Part()));
        EXPECT_EQ(server_.CountRequests("/list.xml"), requests + 1);
    }
}

TEST_F(HttpDownloadTest, ProgressReportsGrowTowardsTheAnnouncedSize) {
    const std::string package = test_server::PatternBytes(0, 8 << 20);
    WriteFile(served_ / "package.upd", package);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
    DownloadOptions options;
    options.progress = [&](std::uint64_t received, std::uint64_t expected) {
        reports.emplace_back(received, expected);
    };

    const DownloadResult result = Download("/package.upd", options);

    ASSERT_TRUE(result.Ok()) << result.detail;
    EXPECT_TRUE(SameBytes(ReadFile(destination_), package));
    // However fast the transfer ran: a report of its first bytes, and one of the whole file.
    ASSERT_GE(reports.size(), 2u);
    EXPECT_GT(reports.front().first, 0u);
    EXPECT_LT(reports.front().first, package.size());
    EXPECT_EQ(reports.back().first, package.size());
    for (size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].second, package.size());
        if (i > 0) {
            EXPECT_GE(reports[i].first, reports[i - 1].first);
        }
    }
}

TEST_F(HttpDownloadTest, FailedAnswersLeaveTheDestinationAsItWasAndNoPart) {
    WriteFile(served_ / "list.xml", "<fresh list/>");
    WriteFile(served_ / "big", std::string(200000, 'x'));
    WriteFile(served_ / "package.upd", test_server::PatternBytes(0, 100000));
    ASSERT_TRUE(server_.SetRules({"/404=404", "/moved=302:/list.xml", "/a=302:/b", "/b=302:/a",
                                  "/elsewhere=302:file:///etc/passwd", "/stall=stall",
                                  "/chunked=chunked:10000000", "/package.upd=close:40000"}));
    const std::atomic<bool> aborted{true};
    const std::string longPart(20, 'p'); // longer than the file: the range cannot be served
    using enum DownloadError;
    const struct Case {
        const char* path = "";
        std::string part{}; // left by an earlier attempt
        int maxRedirects = 0;
        std::uint64_t maxBytes = 16 << 20;
        int stallLimitMs = 30000;
        bool resume = false;
        bool abort = false;
        DownloadError error = None;
        long status = 200;
        int requests = 1;
    } cases[] = {
        {.path = "/404", .error = HttpStatus, .status = 404},
        {.path = "/moved", .error = HttpStatus, .status = 302},
        {.path = "/a", .maxRedirects = 3, .error = HttpStatus, .status = 302, .requests = 4},
        {.path = "/elsewhere", .maxRedirects = 5, .error = BadUrl, .status = 302},
        // Refused while arriving: without an announced length the routine's own count stops it.
        {.path = "/chunked", .maxBytes = 100000, .error = TooLarge},
        {.path = "/big", .maxBytes = 100000, .error = TooLarge},
        {.path = "/stall", .stallLimitMs = 300, .error = Stalled},
        {.path = "/package.upd", .error = Transfer},
        {.path = "/list.xml", .abort = true, .error = Aborted, .status = 0, .requests = 0},
        {.path = "/list.xml", .part = longPart, .resume = true, .error = HttpStatus, .status = 416},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + net::DescribeError(c.error));
        WriteFile(destination_, kCached);
        if (!c.part.empty())
            WriteFile(Part(), c.part);
        const size_t requests = server_.Requests().size();
        DownloadOptions options;
        options.maxRedirects = c.maxRedirects;
        options.maxBytes = c.maxBytes;
        options.stallLimit = std::chrono::milliseconds(c.stallLimitMs);
        options.resume = c.resume;
        options.abort = c.abort ? &aborted : nullptr;

        const DownloadResult result = Download(c.path, options);

        ExpectFailureLeftNothing(result, c.error);
        EXPECT_EQ(result.httpStatus, c.status);
        EXPECT_EQ(server_.Requests().size(), requests + static_cast<size_t>(c.requests));
    }
}

TEST_F(HttpDownloadTest, RedirectIsFollowedWhenAllowed) {
    WriteFile(served_ / "list.xml", "<fresh list/>");
    ASSERT_TRUE(server_.SetRules({"/moved=302:/list.xml"}));

    DownloadOptions options;
    options.maxRedirects = 1;
    const DownloadResult result = Download("/moved", options);

    ASSERT_TRUE(result.Ok()) << result.detail;
    EXPECT_EQ(ReadFile(destination_), "<fresh list/>");
    EXPECT_EQ(server_.CountRequests("/moved"), 1);
    EXPECT_EQ(server_.CountRequests("/list.xml"), 1);
}

TEST_F(HttpDownloadTest, AbortFlagSetFromAnotherThreadEndsAStalledTransfer) {
    ASSERT_TRUE(server_.SetRules({"/list.xml=stall"}));
    WriteFile(destination_, kCached);
    std::atomic<bool> abort{false};
    DownloadOptions options;
    options.stallLimit = std::chrono::minutes(10); // only the flag can end it
    options.abort = &abort;

    std::atomic<bool> returned{false};
    std::thread shutDown([&] {
        while (server_.CountRequests("/list.xml") == 0 && !returned)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        abort = true;
    });
    const DownloadResult result = Download("/list.xml", options);
    returned = true;
    shutDown.join();

    ExpectFailureLeftNothing(result, DownloadError::Aborted);
}

// What a caller following the stored pieces sees: the file as it grows on disk.
struct StoredPieces {
    std::string file;
    bool inOrder = true;
    // Set: each piece must already be in this file, at its offset, when it is reported.
    fs::path part;
    bool inPart = true;
    void Store(std::uint64_t offset, const char* data, size_t size) {
        if (offset == 0)
            file.clear();
        inOrder = inOrder && offset == file.size();
        file.append(data, size);
        if (!part.empty())
            inPart = inPart && PartHolds(offset, std::string(data, size));
    }
    bool PartHolds(std::uint64_t offset, const std::string& bytes) const {
        const int fd = open(part.c_str(), O_RDONLY | O_CLOEXEC);
        std::string found(bytes.size(), '\0');
        const ssize_t got =
            fd < 0 ? -1 : pread(fd, found.data(), found.size(), static_cast<off_t>(offset));
        if (fd >= 0)
            close(fd);
        return got == static_cast<ssize_t>(bytes.size()) && found == bytes;
    }
};

TEST_F(HttpDownloadTest, ResumeContinuesThePartOrStartsAgainWhenAnsweredInFull) {
    // Cut off well into the body, at no round number: every byte that came is kept.
    const std::string package = test_server::PatternBytes(0, (3 << 20) + 1001);
    constexpr size_t kCut = (2 << 20) + 40000 + 7;
    WriteFile(served_ / "package.upd", package);
    ASSERT_TRUE(server_.SetRules({"/package.upd=close:" + std::to_string(kCut)}));
    WriteFile(destination_, kCached);
    StoredPieces pieces;
    DownloadOptions options;
    options.resume = true;
    options.stored = [&](std::uint64_t offset, const char* data, size_t size) {
        pieces.Store(offset, data, size);
    };

    EXPECT_EQ(Download("/package.upd", options).error, DownloadError::Transfer);
    EXPECT_EQ(ReadFile(destination_), kCached);
    EXPECT_TRUE(SameBytes(ReadFile(Part()), package.substr(0, kCut)));
    EXPECT_TRUE(SameBytes(pieces.file, package.substr(0, kCut)));

    ASSERT_TRUE(server_.SetRules({"/package.upd=file"}));
    const DownloadResult resumed = Download("/package.upd", options);

    ASSERT_TRUE(resumed.Ok()) << resumed.detail;
    EXPECT_EQ(resumed.httpStatus, 206);
    EXPECT_EQ(resumed.bytes, package.size());
    EXPECT_TRUE(SameBytes(ReadFile(destination_), package));
    EXPECT_FALSE(fs::exists(Part()));
    EXPECT_TRUE(SameBytes(pieces.file, package));
    EXPECT_TRUE(pieces.inOrder);

    // A stale part answered in full (a generated body ignores the range): the file and the
    // pieces begin again at 0 and hold only the new body.
    WriteFile(Part(), "stale bytes of another version");
    ASSERT_TRUE(server_.SetRules({"/package.upd=chunked:3000"}));
    const DownloadResult restarted = Download("/package.upd", options);

    ASSERT_TRUE(restarted.Ok()) << restarted.detail;
    EXPECT_EQ(restarted.httpStatus, 200);
    EXPECT_TRUE(SameBytes(ReadFile(destination_), test_server::PatternBytes(0, 3000)));
    EXPECT_TRUE(SameBytes(pieces.file, test_server::PatternBytes(0, 3000)));
    EXPECT_TRUE(pieces.inOrder);
    EXPECT_EQ(RangesAsked("/package.upd"),
              (std::vector<std::string>{"-", "bytes=" + std::to_string(kCut) + "-", "bytes=30-"}));
}

TEST_F(HttpDownloadTest, AddressesOtherThanHttpAreRefusedUnasked) {
    WriteFile(destination_, kCached);
    const std::string port = std::to_string(server_.port());
    for (const std::string& url :
         {std::string("file:///etc/passwd"), "ftp://127.0.0.1:" + port + "/list.xml",
          "gopher://127.0.0.1:" + port + "/", std::string("127.0.0.1:") + port + "/list.xml",
          std::string(""), "http://127.0.0.1:" + port + std::string("/list\0.xml", 10),
          "http://127.0.0.1:" + port + "/list.xml\nforged log line"}) {
        const DownloadResult result = net::DownloadToFile(url, destination_, {});
        ExpectFailureLeftNothing(result, DownloadError::BadUrl);
        EXPECT_EQ(result.detail.find_first_of(std::string("\n\0", 2)), std::string::npos);
    }
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(HttpDownloadTest, DestinationOrPartThatIsNotARegularFileOfItsOwnIsLeftAlone) {
    WriteFile(served_ / "list.xml", "<fresh list/>");
    const fs::path sentinel = local_ / "sentinel";
    WriteFile(sentinel, "keep me");
    DownloadOptions resume;
    resume.resume = true;

    fs::create_symlink(sentinel, destination_);
    EXPECT_EQ(Download("/list.xml").error, DownloadError::LocalFile);
    EXPECT_TRUE(fs::is_symlink(destination_));
    fs::remove(destination_);

    fs::create_directory(destination_);
    WriteFile(destination_ / "inside", "kept");
    EXPECT_EQ(Download("/list.xml").error, DownloadError::LocalFile);
    EXPECT_EQ(ReadFile(destination_ / "inside"), "kept");
    EXPECT_FALSE(fs::exists(Part()));
    fs::remove_all(destination_);

    WriteFile(destination_, kCached);
    fs::create_symlink(sentinel, Part());
    EXPECT_EQ(Download("/list.xml").error, DownloadError::LocalFile);
    EXPECT_TRUE(fs::is_symlink(Part()));
    fs::remove(Part());

    fs::create_hard_link(sentinel, Part());
    EXPECT_EQ(Download("/list.xml", resume).error, DownloadError::LocalFile);
    fs::remove(Part());

    ASSERT_EQ(mkfifo(Part().c_str(), 0600), 0);
    EXPECT_EQ(Download("/list.xml").error, DownloadError::LocalFile);
    EXPECT_TRUE(fs::is_fifo(Part()));

    EXPECT_EQ(ReadFile(sentinel), "keep me");
    EXPECT_EQ(ReadFile(destination_), kCached);
    EXPECT_EQ(server_.CountRequests("/list.xml"), 0);
}

// Binds fd to a free port of 127.0.0.1; the port, or 0 when that failed.
int BindLoopback(int fd) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

// A port of 127.0.0.1 where nothing listens: bound, then released.
int ClosedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int port = BindLoopback(fd);
    close(fd);
    return port;
}

TEST_F(HttpDownloadTest, NoServerListeningIsAConnectFailure) {
    WriteFile(destination_, kCached);
    const std::string url = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/list.xml";

    ExpectFailureLeftNothing(net::DownloadToFile(url, destination_, {}), DownloadError::Connect);
}

TEST_F(HttpDownloadTest, TrickleEndsAtTheRateFloorAndAnyTransferAtTheWholeLimit) {
    constexpr std::uint64_t kDripTotal = 1 << 20; // far more than a dripping test ever waits for
    const std::string total = std::to_string(kDripTotal);
    ASSERT_TRUE(server_.SetRules({
        "/drip=drip:10:20:" + total,                      // 500 bytes/s
        "/fast-then-drip=drip:1:50:" + total + ":200000", // 200000 bytes at once, then 20 bytes/s
        "/steady=drip:100:20:" + total,                   // 5000 bytes/s
        "/silent=stall",
    }));
    using enum DownloadError;
    const struct Case {
        const char* path;
        std::uint64_t minRate;
        int rateWindowMs;
        int totalLimitMs;
        DownloadError error;
        long status = 200;
    } cases[] = {
        {"/drip", 2048, 300, 0, TooSlow},
        // The floor looks at the recent past: a fast start does not pay for the trickle after it
        // (averaged from the request on, the burst would carry it for minutes).
        {"/fast-then-drip", 1024, 400, 30000, TooSlow},
        {"/steady", 1024, 30000, 300, TimedOut},
        {"/silent", 0, 30000, 300, TimedOut},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        WriteFile(destination_, kCached);
        std::uint64_t stored = 0;
        DownloadOptions options;
        options.minRate = c.minRate;
        options.rateWindow = std::chrono::milliseconds(c.rateWindowMs);
        options.totalLimit = std::chrono::milliseconds(c.totalLimitMs);
        options.stored = [&](std::uint64_t, const char*, size_t size) { stored += size; };

        const DownloadResult result = Download(c.path, options);

        ExpectFailureLeftNothing(result, c.error);
        EXPECT_EQ(result.httpStatus, c.status);
        EXPECT_LT(stored, kDripTotal);
    }

    // A headless server: the whole limit also holds while no answer has come.
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int port = BindLoopback(listener);
    ASSERT_NE(port, 0);
    ASSERT_EQ(listen(listener, 4), 0);
    DownloadOptions limited;
    limited.totalLimit = std::chrono::milliseconds(300);
    const DownloadResult unanswered = net::DownloadToFile(
        "http://127.0.0.1:" + std::to_string(port) + "/list.xml", destination_, limited);
    close(listener);
    ExpectFailureLeftNothing(unanswered, TimedOut);
    EXPECT_EQ(unanswered.httpStatus, 0);
}

TEST_F(HttpDownloadTest, ResumedTrickleKeepsItsPartForTheNextAttempt) {
    const std::string kept = test_server::PatternBytes(0, 4000);
    WriteFile(Part(), kept);
    ASSERT_TRUE(server_.SetRules({"/package.upd=drip:1:50:1000000"}));
    DownloadOptions options;
    options.resume = true;
    options.minRate = 1024;
    options.rateWindow = std::chrono::milliseconds(400);

    const DownloadResult result = Download("/package.upd", options);

    EXPECT_EQ(result.error, DownloadError::TooSlow) << result.detail;
    EXPECT_EQ(result.httpStatus, 206);
    EXPECT_FALSE(fs::exists(destination_));
    const std::string part = ReadFile(Part());
    EXPECT_GE(part.size(), kept.size());
    EXPECT_TRUE(SameBytes(part, test_server::PatternBytes(0, part.size())));
    EXPECT_EQ(RangesAsked("/package.upd"), (std::vector<std::string>{"bytes=4000-"}));
}

TEST_F(HttpDownloadTest, SlowButSteadyBodyOutlastsTheStallLimit) {
    // 160 pieces, 20 ms apart: the whole takes twice the stall limit, no gap comes near it.
    ASSERT_TRUE(server_.SetRules({"/list.xml=drip:10:20:1600"}));
    DownloadOptions options;
    options.stallLimit = std::chrono::milliseconds(1500);

    const DownloadResult result = Download("/list.xml", options);

    ASSERT_TRUE(result.Ok()) << result.detail;
    EXPECT_TRUE(SameBytes(ReadFile(destination_), test_server::PatternBytes(0, 1600)));
}

TEST_F(HttpDownloadTest, EncodedBodiesAreStoredDecoded) {
    const std::string list = test_server::PatternBytes(0, 300000) + "</list>";
    WriteFile(served_ / "list.xml", list);
    for (const std::string coding : {"gzip", "deflate"}) {
        SCOPED_TRACE(coding);
        ASSERT_TRUE(server_.SetRules({"/list.xml=" + coding}));
        WriteFile(destination_, kCached);
        StoredPieces pieces;
        pieces.part = Part();
        DownloadOptions options;
        options.stored = [&](std::uint64_t offset, const char* data, size_t size) {
            pieces.Store(offset, data, size);
        };

        const DownloadResult result = Download("/list.xml", options);

        ASSERT_TRUE(result.Ok()) << result.detail;
        EXPECT_EQ(result.bytes, list.size());
        EXPECT_TRUE(SameBytes(ReadFile(destination_), list));
        EXPECT_TRUE(SameBytes(pieces.file, list));
        EXPECT_TRUE(pieces.inOrder);
        EXPECT_TRUE(pieces.inPart);

        // The cap holds for what the body decodes to, not for what crossed the wire.
        WriteFile(destination_, kCached);
        options.maxBytes = 100000;
        ExpectFailureLeftNothing(Download("/list.xml", options), DownloadError::TooLarge);
    }
}

TEST_F(HttpDownloadTest, CodingsAreAskedForExceptWhenAFileIsContinued) {
    ASSERT_TRUE(server_.SetRules({"/list.xml=echo:Accept-Encoding"}));
    ASSERT_TRUE(Download("/list.xml").Ok());
    const std::string asked = ReadFile(destination_);
    EXPECT_NE(asked.find("gzip"), std::string::npos) << asked;
    EXPECT_NE(asked.find("deflate"), std::string::npos) << asked;

    WriteFile(Part(), "kept");
    DownloadOptions options;
    options.resume = true;
    ASSERT_TRUE(Download("/list.xml", options).Ok());
    EXPECT_EQ(ReadFile(destination_), "identity");
    EXPECT_EQ(RangesAsked("/list.xml"), (std::vector<std::string>{"-", "bytes=4-"}));
}

TEST_F(HttpDownloadTest, EncodedContinuationStartsTheFileOverOnce) {
    const std::string package = test_server::PatternBytes(0, 200000);
    WriteFile(served_ / "package.upd", package);
    ASSERT_TRUE(server_.SetRules({"/package.upd=gzip"}));
    WriteFile(Part(), package.substr(0, 1000));
    StoredPieces pieces;
    pieces.part = Part();
    DownloadOptions options;
    options.resume = true;
    options.stored = [&](std::uint64_t offset, const char* data, size_t size) {
        pieces.Store(offset, data, size);
    };

    const DownloadResult result = Download("/package.upd", options);

    ASSERT_TRUE(result.Ok()) << result.detail;
    EXPECT_EQ(result.httpStatus, 200);
    EXPECT_TRUE(SameBytes(ReadFile(destination_), package));
    EXPECT_TRUE(SameBytes(pieces.file, package));
    EXPECT_TRUE(pieces.inOrder);
    EXPECT_TRUE(pieces.inPart);
    EXPECT_EQ(RangesAsked("/package.upd"), (std::vector<std::string>{"bytes=1000-", "-"}));
}

// A loopback server that answers the connections it accepts, in turn, with its canned replies
// byte for byte, and closes each: for answers the test server does not give (an interim answer,
// a range on a redirect).
class CannedServer {
public:
    explicit CannedServer(std::vector<std::string> replies) : replies_(std::move(replies)) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        port_ = BindLoopback(listener_);
        if (port_ == 0 || listen(listener_, 4) != 0)
            throw std::runtime_error("cannot listen on 127.0.0.1");
        thread_ = std::thread([this] { Serve(); });
    }
    ~CannedServer() {
        stop_ = true;
        thread_.join();
        close(listener_);
    }
    CannedServer(const CannedServer&) = delete;
    CannedServer& operator=(const CannedServer&) = delete;

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    // The heads of the requests received, in order.
    std::vector<std::string> Heads() const {
        const std::lock_guard lock(mutex_);
        return heads_;
    }

private:
    // Waits in short steps, so that the destructor never waits long.
    bool Readable(int fd) const {
        for (int waited = 0; !stop_ && waited < 30000; waited += 20) {
            pollfd ready{fd, POLLIN, 0};
            if (poll(&ready, 1, 20) > 0)
                return true;
        }
        return false;
    }
    void Serve() {
        for (const std::string& reply : replies_) {
            if (!Readable(listener_))
                return;
            const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                return;
            std::string head;
            char buffer[4096];
            while (head.find("\r\n\r\n") == std::string::npos && Readable(client)) {
                const ssize_t got = read(client, buffer, sizeof(buffer));
                if (got <= 0)
                    break;
                head.append(buffer, static_cast<size_t>(got));
            }
            {
                const std::lock_guard lock(mutex_);
                heads_.push_back(head);
            }
            [[maybe_unused]] const ssize_t sent =
                send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
            close(client);
        }
    }

    std::vector<std::string> replies_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> heads_;
    std::thread thread_;
};

TEST_F(HttpDownloadTest, ResumeAppendsOnlyTheRangeAskedForInTheFinalAnswer) {
    const std::string file = test_server::PatternBytes(0, 20);
    const std::string kept = file.substr(0, 10);
    const std::string rest = file.substr(10);
    const std::string tail206 = "HTTP/1.1 206 Partial Content\r\nContent-Length: 10\r\n"
                                "Connection: close\r\n\r\n" +
                                rest;
    const std::string askedRange = "Content-Range: bytes 10-19/20\r\n";
    const struct Case {
        const char* name;
        std::vector<std::string> replies;
        bool ok;
    } cases[] = {
        {"interim answer, then the asked range",
         {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 206 Partial Content\r\n" + askedRange +
          "Content-Length: 10\r\nConnection: close\r\n\r\n" + rest},
         true},
        {"range on the interim answer only",
         {"HTTP/1.1 100 Continue\r\n" + askedRange + "\r\n" + tail206},
         false},
        {"range on the redirect only",
         {"HTTP/1.1 302 Found\r\nLocation: /moved\r\n" + askedRange +
              "Content-Length: 0\r\nConnection: close\r\n\r\n",
          tail206},
         false},
        // Trailers come after the body: they change nothing about the answer.
        {"trailer naming a coding after the asked range",
         {"HTTP/1.1 206 Partial Content\r\n" + askedRange +
          "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\na\r\n" + rest +
          "\r\n0\r\nContent-Encoding: gzip\r\nContent-Range: bytes 0-9/10\r\n\r\n"},
         true},
        {"range from elsewhere",
         {"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 12-19/20\r\n"
          "Content-Length: 8\r\nConnection: close\r\n\r\n" +
          file.substr(12)},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CannedServer canned(c.replies);
        WriteFile(destination_, kCached);
        WriteFile(Part(), kept);
        DownloadOptions options;
        options.resume = true;
        options.maxRedirects = 1;
        options.stallLimit = std::chrono::seconds(5); // a request no reply waits for fails

        const DownloadResult result =
            net::DownloadToFile(canned.Url("/package.upd"), destination_, options);

        EXPECT_EQ(result.httpStatus, 206);
        if (c.ok) {
            ASSERT_TRUE(result.Ok()) << result.detail;
            EXPECT_EQ(ReadFile(destination_), file);
        } else {
            EXPECT_EQ(result.error, DownloadError::HttpStatus) << result.detail;
            EXPECT_EQ(ReadFile(destination_), kCached);
            EXPECT_EQ(ReadFile(Part()), kept);
        }
        const std::vector<std::string> heads = canned.Heads();
        ASSERT_EQ(heads.size(), c.replies.size());
        for (const std::string& head : heads)
            EXPECT_NE(head.find("Range: bytes=10-\r\n"), std::string::npos) << head;
    }
    fs::remove(Part());

    // The test server's wrong start: the same refusal.
    WriteFile(served_ / "package.upd", file);
    ASSERT_TRUE(server_.SetRules({"/package.upd=206:12"}));
    WriteFile(Part(), kept);
    DownloadOptions options;
    options.resume = true;
    const DownloadResult elsewhere = Download("/package.upd", options);
    EXPECT_EQ(elsewhere.error, DownloadError::HttpStatus);
    EXPECT_EQ(elsewhere.httpStatus, 206);
    EXPECT_EQ(ReadFile(Part()), kept);
}

TEST_F(HttpDownloadTest, WholeAnswerToARangeRequestEmptiesALongerPart) {
    const std::string body = test_server::PatternBytes(0, 3000);
    DownloadOptions options;
    options.resume = true;

    ASSERT_TRUE(server_.SetRules({"/list.xml=chunked:3000"}));
    WriteFile(Part(), std::string(5000, 'z'));
    const DownloadResult whole = Download("/list.xml", options);
    ASSERT_TRUE(whole.Ok()) << whole.detail;
    EXPECT_EQ(whole.httpStatus, 200);
    EXPECT_TRUE(SameBytes(ReadFile(destination_), body));
    EXPECT_EQ(RangesAsked("/list.xml"), (std::vector<std::string>{"bytes=5000-"}));

    // Cut off after 1000 bytes: the part holds those, and nothing of the longer one before.
    CannedServer canned({"HTTP/1.1 200 OK\r\nContent-Length: 3000\r\nConnection: close\r\n\r\n" +
                         body.substr(0, 1000)});
    WriteFile(Part(), std::string(5000, 'z'));
    const DownloadResult cut = net::DownloadToFile(canned.Url("/list.xml"), destination_, options);
    EXPECT_EQ(cut.error, DownloadError::Transfer) << cut.detail;
    EXPECT_TRUE(SameBytes(ReadFile(Part()), body.substr(0, 1000)));
    EXPECT_TRUE(SameBytes(ReadFile(destination_), body));
}

TEST_F(HttpDownloadTest, RefusedAddressesSayWhatToChange) {
    WriteFile(destination_, kCached);
    const std::string host = "http://127.0.0.1:" + std::to_string(server_.port());
    const struct {
        std::string url;
        std::string detail;
    } cases[] = {
        {host + "/server list.xml",
         "the address holds a space (character " + std::to_string(host.size() + 8) +
             "); in a path or query it is written %20: " + host + "/server list.xml"},
        {host + "/list.xml\t", "the address holds the control character 9 (character " +
                                   std::to_string(host.size() + 10) +
                                   "); remove it or percent-encode it: " + host + "/list.xml?"},
        {"", "the address is empty: "},
        {"127.0.0.1/list.xml",
         "the address does not begin with http:// or https://: 127.0.0.1/list.xml"},
        {"ftp://127.0.0.1/list.xml",
         "the address begins with ftp://; only http:// and https:// are fetched: "
         "ftp://127.0.0.1/list.xml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        const DownloadResult result = net::DownloadToFile(c.url, destination_, {});
        ExpectFailureLeftNothing(result, DownloadError::BadUrl);
        EXPECT_EQ(result.detail, c.detail);
    }
    const DownloadResult malformed = net::DownloadToFile("http://[::1/list.xml", destination_, {});
    EXPECT_EQ(malformed.error, DownloadError::BadUrl);
    EXPECT_TRUE(malformed.detail.starts_with("the address is malformed: ")) << malformed.detail;
    EXPECT_TRUE(server_.Requests().empty());
}

} // namespace
