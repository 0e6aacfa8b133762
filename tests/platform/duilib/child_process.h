#pragma once
// A forked child running a piece of test code with fresh library state: for process-wide
// choices (the backend) and for signals. The child reports through its exit code only.
#include <functional>
#include <string>
#include <sys/types.h>

namespace duilib_test {

class ChildProcess {
public:
    // body gets a descriptor to write one byte to once it is ready for the parent; its result
    // is the child's exit code. The child's stderr is collected.
    explicit ChildProcess(const std::function<int(int readyFd)>& body);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Blocks until the child said it is ready; false when it ended first.
    bool WaitReady();
    void Signal(int signal);
    // The wait status (for WIFEXITED and friends).
    int Wait();
    // Everything the child wrote to stderr; call after Wait.
    const std::string& Stderr() const { return stderr_; }

private:
    pid_t pid_ = -1;
    int readyFd_ = -1;
    int stderrFd_ = -1;
    int status_ = 0;
    bool waited_ = false;
    std::string stderr_;
};

} // namespace duilib_test
