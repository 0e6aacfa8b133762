#pragma once
// A forked child running a piece of test code with fresh library state: for process-wide
// choices (the backend) and for signals. The child reports through its exit code only.
#include <csignal>
#include <functional>
#include <string>

namespace duilib_test {

// Runs body in a child; body writes one byte to readyFd once the parent may send `signal`
// (0: none). Returns the child's wait status; what it wrote to stderr goes to *errors.
int RunInChild(const std::function<int(int readyFd)>& body, int signal = 0,
               std::string* errors = nullptr);

} // namespace duilib_test
