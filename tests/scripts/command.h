#pragma once
// Runs a program to its end for a test: its exit code and everything it printed.
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

struct CommandResult {
    int exitCode = -1;  // -1 when it could not be started or did not exit normally
    std::string output; // standard output and standard error together
};

// argv[0] is a path or a name looked up in PATH. Standard input is /dev/null. It runs in
// workingDir when one is given.
CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::filesystem::path& workingDir = {});

} // namespace testing_support
