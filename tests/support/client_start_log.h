#pragma once
// What the stand-in game client wrote when it started.
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"
#include "tests/support/wait_for.h"

namespace testing_support {

// The client's start log once a whole line is in it: the client creates the file before it
// writes its line, so its existence alone says nothing.
inline std::string WaitForClientStartLine(const std::filesystem::path& programDir) {
    std::string log;
    WaitFor([&] { return (log = ReadFile(programDir / "zel-started.log")).ends_with('\n'); });
    return log;
}

} // namespace testing_support
