#include "tests/support/test_server.h"

#include <httplib.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testing_support {

namespace {

constexpr int kStartTimeoutMs = 10000;

// The first line the server prints, "port N", read within the start time-out.
int ReadPort(int fd) {
    std::string line;
    while (line.find('\n') == std::string::npos) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, kStartTimeoutMs) <= 0)
            return 0;
        char buffer[64];
        const ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got <= 0)
            return 0;
        line.append(buffer, static_cast<size_t>(got));
    }
    return line.starts_with("port ") ? std::atoi(line.c_str() + 5) : 0;
}

} // namespace

TestServer::TestServer(const std::filesystem::path& root, const std::vector<std::string>& rules) {
    std::vector<std::string> arguments = {LAUNCHER_TEST_SERVER,
                                          "--root",
                                          root.string(),
                                          "--log-file",
                                          (logDir_.path() / "requests.log").string(),
                                          "--watch-stdin"};
    for (const std::string& rule : rules) {
        arguments.push_back("--rule");
        arguments.push_back(rule);
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int input[2];
    int output[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    close(output[1]);
    stdinPipe_ = input[1];
    if (spawned == 0)
        port_ = ReadPort(output[0]);
    close(output[0]);
    if (spawned != 0)
        pid_ = -1;
    if (port_ <= 0) {
        Stop();
        throw std::runtime_error("the test server did not start");
    }
}

TestServer::~TestServer() {
    Stop();
}

void TestServer::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    if (stdinPipe_ >= 0)
        close(stdinPipe_);
    stdinPipe_ = -1;
}

std::string TestServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

bool TestServer::SetRules(const std::vector<std::string>& rules) const {
    std::string body;
    for (const std::string& rule : rules)
        body += rule + "\n";
    httplib::Client client("127.0.0.1", port_);
    const httplib::Result answer = client.Post("/__control", body, "text/plain");
    return answer && answer->status == 200;
}

std::vector<TestServer::Request> TestServer::Requests() const {
    std::istringstream lines(ReadFile(logDir_.path() / "requests.log"));
    std::vector<Request> requests;
    for (std::string line; std::getline(lines, line);) {
        const size_t first = line.find(' ');
        const size_t last = line.rfind(' ');
        if (first == std::string::npos || first == last)
            continue;
        requests.push_back({line.substr(0, first), line.substr(first + 1, last - first - 1),
                            line.substr(last + 1)});
    }
    return requests;
}

int TestServer::CountRequests(const std::string& path) const {
    int count = 0;
    for (const Request& request : Requests())
        count += request.path == path ? 1 : 0;
    return count;
}

} // namespace testing_support
