#include "tests/platform/duilib/child_process.h"

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace duilib_test {

int RunInChild(const std::function<int(int readyFd)>& body, int signal, std::string* errors) {
    int ready[2];
    int stderrPipe[2];
    if (pipe(ready) != 0 || pipe(stderrPipe) != 0)
        std::abort();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(stderrPipe[1], STDERR_FILENO);
        alarm(60); // a child that hangs ends, and the test fails instead of stalling
        const int code = body(ready[1]);
        std::fflush(stderr);
        _exit(code); // no test framework teardown in the child
    }
    close(ready[1]);
    close(stderrPipe[1]);
    char byte = 0;
    if (signal != 0 && read(ready[0], &byte, 1) == 1)
        kill(pid, signal);
    std::string collected;
    char buffer[4096];
    for (ssize_t got; (got = read(stderrPipe[0], buffer, sizeof(buffer))) > 0;)
        collected.append(buffer, static_cast<size_t>(got));
    int status = 0;
    waitpid(pid, &status, 0);
    close(ready[0]);
    close(stderrPipe[0]);
    if (errors != nullptr)
        *errors = collected;
    return status;
}

} // namespace duilib_test
