#include "tests/platform/duilib/child_process.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace duilib_test {

ChildProcess::ChildProcess(const std::function<int(int readyFd)>& body) {
    int ready[2];
    int errors[2];
    if (pipe(ready) != 0 || pipe(errors) != 0)
        std::abort();
    pid_ = fork();
    if (pid_ == 0) {
        close(ready[0]);
        close(errors[0]);
        dup2(errors[1], STDERR_FILENO);
        const int code = body(ready[1]);
        std::fflush(stderr);
        _exit(code); // no test framework teardown in the child
    }
    close(ready[1]);
    close(errors[1]);
    readyFd_ = ready[0];
    stderrFd_ = errors[0];
}

ChildProcess::~ChildProcess() {
    if (!waited_ && pid_ > 0) {
        kill(pid_, SIGKILL);
        Wait();
    }
    close(readyFd_);
    close(stderrFd_);
}

bool ChildProcess::WaitReady() {
    char byte = 0;
    return read(readyFd_, &byte, 1) == 1;
}

void ChildProcess::Signal(int signal) {
    kill(pid_, signal);
}

int ChildProcess::Wait() {
    if (waited_)
        return status_;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(stderrFd_, buffer, sizeof(buffer))) > 0)
        stderr_.append(buffer, static_cast<size_t>(got));
    waitpid(pid_, &status_, 0);
    waited_ = true;
    return status_;
}

} // namespace duilib_test
