#pragma once
// The local HTTP test server (tests/server) as a child process of the test: started on a free
// port of 127.0.0.1, killed when the object goes. Rules are "PATH=ACTION" as the server takes
// them (tests/server/rules.h lists the actions).
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

#include "tests/support/temp_dir.h"

namespace testing_support {

class TestServer {
public:
    struct Request {
        std::string method;
        std::string path;
        std::string range; // the Range header, "-" when there was none
    };

    // Serves the files under root. Throws when the server does not start.
    explicit TestServer(const std::filesystem::path& root,
                        const std::vector<std::string>& rules = {});
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:PORT" followed by path.
    std::string Url(const std::string& path) const;
    // Changes the rules of a running server; false when it refused one.
    bool SetRules(const std::vector<std::string>& rules) const;
    // Every request the server received so far, in order.
    std::vector<Request> Requests() const;
    int CountRequests(const std::string& path) const;

private:
    void Stop();

    TempDir logDir_;
    pid_t pid_ = -1;
    int stdinPipe_ = -1; // the server ends when this closes, also if the test process dies
    int port_ = 0;
};

} // namespace testing_support
