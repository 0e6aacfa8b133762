#pragma once
// Real processes under a chosen name: a copy of a program (usually sleep) started from a
// temporary directory, as a stand-in for the game client or another program.
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/types.h>

extern char** environ;

namespace testing_support {

// Starts a copy of `original` named `name` in `dir` (copied once) with one argument: its process
// id, or -1.
inline pid_t StartProgramCopy(const std::filesystem::path& dir,
                              const std::filesystem::path& original, const std::string& name,
                              std::string arg = "1000") {
    const std::filesystem::path program = dir / name;
    if (!std::filesystem::exists(program))
        std::filesystem::copy_file(original, program);
    std::string path = program.string();
    char* argv[] = {path.data(), arg.data(), nullptr};
    pid_t pid = -1;
    return posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) == 0 ? pid : -1;
}

} // namespace testing_support
