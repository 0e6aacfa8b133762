#pragma once
// Runs a program to its end for a test: its exit code and everything it printed.
#include <string>
#include <vector>

namespace testing_support {

struct CommandResult {
    int exitCode = -1;  // -1 when it could not be started or did not exit normally
    std::string output; // standard output and standard error together
};

// argv[0] is a path or a name looked up in PATH. Standard input is /dev/null.
CommandResult RunCommand(const std::vector<std::string>& argv);

} // namespace testing_support
